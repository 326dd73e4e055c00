// Exported mesh record functions and mesh simplification.
#include <Eigen/Core>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "argument-check.h"
#include "exported-call.h"
#include "halfedge-mesh/halfedge-mesh.h"
#include "mesh-toolbox/mesh-toolbox.h"
#include "solvo_support_api.h"

namespace {

constexpr char kCreateMeshSignature[] =
    "SolvoErrorType SolvoSupport_createMesh(uint32_t, uint32_t, bool, bool, "
    "SolvoMesh_Experimental*)";
constexpr char kInitializeEmptyMeshSignature[] =
    "SolvoErrorType SolvoSupport_initializeEmptyMesh(SolvoMesh_Experimental*)";
constexpr char kCopyMeshSignature[] =
    "SolvoErrorType SolvoSupport_copyMesh(const SolvoMesh_Experimental*, "
    "SolvoMesh_Experimental*)";
constexpr char kFreeMeshSignature[] =
    "SolvoErrorType SolvoSupport_freeMesh(SolvoMesh_Experimental*)";
constexpr char kCreateSimplifiedMeshSignature[] =
    "SolvoErrorType SolvoSupport_createSimplifiedMesh(const SolvoMesh_Experimental*, uint32_t, "
    "SolvoMesh_Experimental*)";
constexpr char kCreateSimplifiedMeshWithProgressSignature[] =
    "SolvoErrorType SolvoSupport_createSimplifiedMeshWithProgress(const SolvoMesh_Experimental*, "
    "uint32_t, SolvoMesh_Experimental*, int (*)(float, void*), void*)";

// On 32-bit targets the byte size of a large array does not fit in size_t; allocating the
// wrapped-around size would hand out a short array.
template <typename Element>
bool FitsInSizeT(uint32_t count) {
  return count <= std::numeric_limits<size_t>::max() / sizeof(Element);
}

// The name of the first count whose arrays cannot be sized, or nullptr.
const char* OversizedCount(uint32_t num_vertices, uint32_t num_faces) {
  if (!FitsInSizeT<float[3]>(num_vertices)) return "num_vertices";
  if (!FitsInSizeT<uint32_t[3]>(num_faces)) return "num_faces";
  return nullptr;
}

// The name of the first array that the counts and flags promise but that is null, or nullptr.
const char* MissingArray(const SolvoMesh_Experimental& mesh) {
  if (mesh.num_vertices > 0 && mesh.vertices == nullptr) return "vertices";
  if (mesh.num_faces > 0 && mesh.faces == nullptr) return "faces";
  if (mesh.num_vertices > 0 && mesh.has_normals && mesh.normals == nullptr) return "normals";
  if (mesh.num_vertices > 0 && mesh.has_colors && mesh.colors == nullptr) return "colors";
  return nullptr;
}

// Fills an emptied record with the counts, flags and fresh (uncleared) arrays.
void AllocateMesh(uint32_t num_vertices, uint32_t num_faces, bool has_normals, bool has_colors,
                  SolvoMesh_Experimental* mesh) {
  std::memset(mesh, 0, sizeof(*mesh));
  mesh->num_vertices = num_vertices;
  mesh->num_faces = num_faces;
  mesh->has_normals = has_normals;
  mesh->has_colors = has_colors;
  if (num_vertices > 0) mesh->vertices = new float[num_vertices][3];
  if (num_faces > 0) mesh->faces = new uint32_t[num_faces][3];
  if (num_vertices > 0 && has_normals) mesh->normals = new float[num_vertices][3];
  if (num_vertices > 0 && has_colors) mesh->colors = new uint8_t[num_vertices][4];
}

// The simplified export behind both entries; `signature` names the entry the application called.
SolvoErrorType CreateSimplifiedMesh(const char* signature, const SolvoMesh_Experimental* input_mesh,
                                    uint32_t target_num_faces, SolvoMesh_Experimental* output_mesh,
                                    SolvoSupportProgressCallback progress, void* user_data) {
  if (input_mesh == nullptr) {
    return SOLVO_REJECT(signature, " input_mesh is nullptr.");
  }
  if (output_mesh == nullptr) {
    return SOLVO_REJECT(signature, " output_mesh is nullptr.");
  }
  const SolvoMesh_Experimental input = *input_mesh;
  if (const char* array = MissingArray(input)) {
    return SOLVO_REJECT(signature, std::string(" input_mesh->") + array + " is nullptr.");
  }
  if (const char* count = OversizedCount(input.num_vertices, input.num_faces)) {
    return SOLVO_REJECT(signature, std::string(" input_mesh->") + count + " is too large.");
  }
  const mesh_toolbox::SimplifyProgress report =
      progress == nullptr ? mesh_toolbox::SimplifyProgress()
                          : [progress, user_data](float fraction_done) {
                              return progress(fraction_done, user_data) == 0;
                            };
  if (input.num_faces <= target_num_faces) {
    if (report && !report(0.0f)) return SOLVO_STATUS_FAILED;
    const SolvoErrorType status = SolvoSupport_copyMesh(input_mesh, output_mesh);
    if (report) report(1.0f);
    return status;
  }

  // Plane quadrics of non-finite corners have no meaning and would break the simplifier's checks.
  for (uint32_t i = 0; i < input.num_vertices; ++i) {
    const float* position = input.vertices[i];
    if (!std::isfinite(position[0]) || !std::isfinite(position[1]) || !std::isfinite(position[2])) {
      return SOLVO_REJECT(signature,
                          " input_mesh->vertices[" + std::to_string(i) + "] is not finite.");
    }
  }

  auto mesh = std::allocate_shared<halfedge_mesh::HalfedgeMesh>(
      Eigen::aligned_allocator<halfedge_mesh::HalfedgeMesh>());
  // Arrays whose flag is clear are not the caller's data: they are never read.
  mesh->BuildFromArrays(input.vertices, input.faces, input.has_normals ? input.normals : nullptr,
                        input.has_colors ? input.colors : nullptr, input.num_vertices,
                        input.num_faces);
  // A cancelled run leaves the caller's record as it was.
  if (!mesh_toolbox::SimplifyMesh(mesh, target_num_faces, report)) return SOLVO_STATUS_FAILED;

  AllocateMesh(mesh->NVertices(), mesh->NFaces(), input.has_normals, input.has_colors, output_mesh);
  // Construction may have dropped every face; an empty record has no arrays to fill.
  if (mesh->NVertices() > 0 && mesh->NFaces() > 0) {
    mesh->ExportToArrays(output_mesh->vertices, output_mesh->faces, output_mesh->normals,
                         output_mesh->colors);
  }
  return SOLVO_STATUS_OK;
}

}  // namespace

extern "C" {

SolvoErrorType SolvoSupport_createMesh(uint32_t num_vertices, uint32_t num_faces, bool has_normals,
                                       bool has_colors, SolvoMesh_Experimental* mesh) {
  const solvo_support_api::ExportedCall call;
  if (mesh == nullptr) return SOLVO_REJECT(kCreateMeshSignature, " mesh is nullptr.");
  if (const char* count = OversizedCount(num_vertices, num_faces)) {
    return SOLVO_REJECT(kCreateMeshSignature, std::string(" ") + count + " is too large.");
  }
  AllocateMesh(num_vertices, num_faces, has_normals, has_colors, mesh);
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_initializeEmptyMesh(SolvoMesh_Experimental* mesh) {
  const solvo_support_api::ExportedCall call;
  if (mesh == nullptr) return SOLVO_REJECT(kInitializeEmptyMeshSignature, " mesh is nullptr.");
  std::memset(mesh, 0, sizeof(*mesh));
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_copyMesh(const SolvoMesh_Experimental* input_mesh,
                                     SolvoMesh_Experimental* output_mesh) {
  const solvo_support_api::ExportedCall call;
  if (input_mesh == nullptr) return SOLVO_REJECT(kCopyMeshSignature, " input_mesh is nullptr.");
  if (output_mesh == nullptr) {
    return SOLVO_REJECT(kCopyMeshSignature, " output_mesh is nullptr.");
  }
  if (const char* array = MissingArray(*input_mesh)) {
    return SOLVO_REJECT(kCopyMeshSignature, std::string(" input_mesh->") + array + " is nullptr.");
  }
  if (const char* count = OversizedCount(input_mesh->num_vertices, input_mesh->num_faces)) {
    return SOLVO_REJECT(kCopyMeshSignature,
                        std::string(" input_mesh->") + count + " is too large.");
  }
  // Read the input before emptying the output: they may be one record.
  const SolvoMesh_Experimental input = *input_mesh;
  AllocateMesh(input.num_vertices, input.num_faces, input.has_normals, input.has_colors,
               output_mesh);
  std::memcpy(output_mesh->tag, input.tag, sizeof(input.tag));
  if (output_mesh->vertices != nullptr) {
    std::memcpy(output_mesh->vertices, input.vertices, size_t{input.num_vertices} * 12);
  }
  if (output_mesh->faces != nullptr) {
    std::memcpy(output_mesh->faces, input.faces, size_t{input.num_faces} * 12);
  }
  if (output_mesh->normals != nullptr) {
    std::memcpy(output_mesh->normals, input.normals, size_t{input.num_vertices} * 12);
  }
  if (output_mesh->colors != nullptr) {
    std::memcpy(output_mesh->colors, input.colors, size_t{input.num_vertices} * 4);
  }
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_freeMesh(SolvoMesh_Experimental* mesh) {
  const solvo_support_api::ExportedCall call;
  if (mesh == nullptr) return SOLVO_REJECT(kFreeMeshSignature, " mesh is nullptr.");
  delete[] mesh->vertices;
  delete[] mesh->faces;
  delete[] mesh->normals;
  delete[] mesh->colors;
  std::memset(mesh, 0, sizeof(*mesh));
  return SOLVO_STATUS_OK;
}

SolvoErrorType SolvoSupport_createSimplifiedMesh(const SolvoMesh_Experimental* input_mesh,
                                                 uint32_t target_num_faces,
                                                 SolvoMesh_Experimental* output_mesh) {
  const solvo_support_api::ExportedCall call;
  return CreateSimplifiedMesh(kCreateSimplifiedMeshSignature, input_mesh, target_num_faces,
                              output_mesh, nullptr, nullptr);
}

SolvoErrorType SolvoSupport_createSimplifiedMeshWithProgress(
    const SolvoMesh_Experimental* input_mesh, uint32_t target_num_faces,
    SolvoMesh_Experimental* output_mesh, SolvoSupportProgressCallback progress, void* user_data) {
  const solvo_support_api::ExportedCall call;
  return CreateSimplifiedMesh(kCreateSimplifiedMeshWithProgressSignature, input_mesh,
                              target_num_faces, output_mesh, progress, user_data);
}

}  // extern "C"
