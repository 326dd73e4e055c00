// The library's mesh and point cloud records, owned for the length of a scope, filled from files.
#include "records.h"

#include <cstring>
#include <limits>

#include "arguments.h"
#include "library-log.h"

namespace solvo_cli {

void CheckStatus(SolvoErrorType status, const std::string& what) {
  if (status == SOLVO_STATUS_OK) return;
  throw InputError(what + " failed (status " + std::to_string(static_cast<int>(status)) + ")" +
                   LibraryReason());
}

MeshRecord::MeshRecord() { SolvoSupport_initializeEmptyMesh(&mesh_); }

MeshRecord::MeshRecord(const MeshData& mesh) {
  constexpr size_t kLargest = std::numeric_limits<uint32_t>::max();
  if (mesh.vertices.size() > kLargest || mesh.faces.size() > kLargest) {
    throw InputError("the mesh has more vertices or faces than a mesh record can hold");
  }
  const auto n_vertices = static_cast<uint32_t>(mesh.vertices.size());
  CheckStatus(SolvoSupport_createMesh(n_vertices, static_cast<uint32_t>(mesh.faces.size()),
                                      !mesh.normals.empty(), !mesh.colors.empty(), &mesh_),
              "allocating the mesh record");
  // Empty vectors may hold no array at all; copy only what is there.
  if (n_vertices > 0) std::memcpy(mesh_.vertices, mesh.vertices.data(), n_vertices * 12u);
  if (!mesh.faces.empty()) std::memcpy(mesh_.faces, mesh.faces.data(), mesh.faces.size() * 12u);
  if (!mesh.normals.empty() && n_vertices > 0) {
    std::memcpy(mesh_.normals, mesh.normals.data(), n_vertices * 12u);
  }
  if (!mesh.colors.empty() && n_vertices > 0) {
    std::memcpy(mesh_.colors, mesh.colors.data(), n_vertices * 4u);
  }
}

MeshRecord::~MeshRecord() { SolvoSupport_freeMesh(&mesh_); }

MeshData MeshRecord::ToMeshData() const {
  MeshData data;
  const uint32_t n_vertices = mesh_.vertices != nullptr ? mesh_.num_vertices : 0;
  const uint32_t n_faces = mesh_.faces != nullptr ? mesh_.num_faces : 0;
  data.vertices.resize(n_vertices);
  if (n_vertices > 0) std::memcpy(data.vertices.data(), mesh_.vertices, n_vertices * 12u);
  data.faces.resize(n_faces);
  if (n_faces > 0) std::memcpy(data.faces.data(), mesh_.faces, n_faces * 12u);
  if (mesh_.has_normals && mesh_.normals != nullptr && n_vertices > 0) {
    data.normals.resize(n_vertices);
    std::memcpy(data.normals.data(), mesh_.normals, n_vertices * 12u);
  }
  if (mesh_.has_colors && mesh_.colors != nullptr && n_vertices > 0) {
    data.colors.resize(n_vertices);
    std::memcpy(data.colors.data(), mesh_.colors, n_vertices * 4u);
  }
  return data;
}

CloudRecord::CloudRecord(const std::vector<Vector3f>& points, double timestamp) {
  if (points.size() > std::numeric_limits<uint32_t>::max()) {
    throw InputError("the point cloud has more points than a point cloud record can hold");
  }
  const auto count = static_cast<uint32_t>(points.size());
  CheckStatus(SolvoSupport_createXYZij(count, &cloud_), "allocating the point cloud record");
  if (count > 0) std::memcpy(cloud_.xyz, points.data(), count * 12u);
  cloud_.point_count = count;
  cloud_.timestamp = timestamp;
}

CloudRecord::~CloudRecord() { SolvoSupport_freeXYZij(&cloud_); }

}  // namespace solvo_cli
