// Fuzz target: mesh records, copies and simplification of meshes decoded from the input, with
// broken positions, out-of-range and repeated indices, duplicate and opposite faces and fans.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "failing-new.h"
#include "fuzz-support.h"
#include "solvo_support_api.h"

namespace {

constexpr uint32_t kMaxVertices = 48;
constexpr uint32_t kMaxFaces = 96;

// The input mesh's arrays live here; the record points into them (or to nothing).
struct InputMesh {
  std::vector<float> vertices;
  std::vector<uint32_t> faces;
  std::vector<float> normals;
  std::vector<uint8_t> colors;
  SolvoMesh_Experimental record{};
  bool missing_array = false;  // a count or flag promises an array that is not there
};

float PickCoordinate(FuzzedDataProvider* input, bool wild) {
  // Few distinct values: duplicated positions, collinear and coplanar corners.
  return wild ? solvo_fuzz::PickFloat(input)
              : static_cast<float>(input->ConsumeIntegralInRange<int>(-3, 3));
}

uint32_t PickIndex(FuzzedDataProvider* input, uint32_t num_vertices) {
  switch (input->ConsumeIntegralInRange<int>(0, 15)) {
    case 0:
      return num_vertices;
    case 1:
      return input->ConsumeIntegral<uint32_t>();
    default:
      return num_vertices == 0 ? 0 : input->ConsumeIntegralInRange<uint32_t>(0, num_vertices - 1);
  }
}

void DecodeMesh(FuzzedDataProvider* input, InputMesh* mesh) {
  const uint32_t num_vertices = input->ConsumeIntegralInRange<uint32_t>(0, kMaxVertices);
  const uint32_t num_faces = input->ConsumeIntegralInRange<uint32_t>(0, kMaxFaces);
  const int wild_every = input->ConsumeIntegralInRange<int>(0, 16);
  mesh->vertices.resize(size_t{num_vertices} * 3);
  for (size_t i = 0; i < mesh->vertices.size(); ++i) {
    const bool wild = wild_every != 0 && i % static_cast<size_t>(wild_every) == 0;
    mesh->vertices[i] = PickCoordinate(input, wild);
  }
  // Faces: fresh triangles, repeats and reversals of earlier ones, fans around one vertex.
  mesh->faces.resize(size_t{num_faces} * 3);
  for (uint32_t f = 0; f < num_faces; ++f) {
    uint32_t* face = &mesh->faces[size_t{f} * 3];
    const int kind = f == 0 ? 0 : input->ConsumeIntegralInRange<int>(0, 9);
    const uint32_t* earlier =
        &mesh->faces[size_t{input->ConsumeIntegralInRange<uint32_t>(0, f == 0 ? 0 : f - 1)} * 3];
    if (kind == 1) {
      std::memcpy(face, earlier, sizeof(uint32_t[3]));
    } else if (kind == 2) {
      face[0] = earlier[2];
      face[1] = earlier[1];
      face[2] = earlier[0];
    } else if (kind == 3 || kind == 4) {
      face[0] = earlier[0];  // shares a corner or an edge with an earlier face
      face[1] = kind == 3 ? PickIndex(input, num_vertices) : earlier[2];
      face[2] = PickIndex(input, num_vertices);
    } else {
      for (int k = 0; k < 3; ++k) face[k] = PickIndex(input, num_vertices);
    }
  }
  const bool has_normals = input->ConsumeBool();
  const bool has_colors = input->ConsumeBool();
  mesh->normals.resize(has_normals || input->ConsumeBool() ? size_t{num_vertices} * 3 : 0);
  for (float& n : mesh->normals)
    n = PickCoordinate(input, input->ConsumeIntegralInRange<int>(0, 7) == 0);
  mesh->colors.resize(has_colors || input->ConsumeBool() ? size_t{num_vertices} * 4 : 0);
  for (uint8_t& c : mesh->colors) c = input->ConsumeIntegral<uint8_t>();

  SolvoMesh_Experimental& record = mesh->record;
  for (uint32_t& word : record.tag) word = input->ConsumeIntegral<uint32_t>();
  record.num_vertices = num_vertices;
  record.num_faces = num_faces;
  record.has_normals = has_normals;
  record.has_colors = has_colors;
  // Arrays behind a false flag are there or not; a promised array is now and then missing.
  const int drop = input->ConsumeIntegralInRange<int>(0, 31);
  record.vertices = num_vertices == 0 || drop == 1
                        ? nullptr
                        : reinterpret_cast<float(*)[3]>(mesh->vertices.data());
  record.faces =
      num_faces == 0 || drop == 2 ? nullptr : reinterpret_cast<uint32_t(*)[3]>(mesh->faces.data());
  record.normals = mesh->normals.empty() || drop == 3
                       ? nullptr
                       : reinterpret_cast<float(*)[3]>(mesh->normals.data());
  record.colors = mesh->colors.empty() || drop == 4
                      ? nullptr
                      : reinterpret_cast<uint8_t(*)[4]>(mesh->colors.data());
  mesh->missing_array = (num_vertices > 0 && record.vertices == nullptr) ||
                        (num_faces > 0 && record.faces == nullptr) ||
                        (num_vertices > 0 && has_normals && record.normals == nullptr) ||
                        (num_vertices > 0 && has_colors && record.colors == nullptr);
}

bool AllFinite(const float* values, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (!std::isfinite(values[i])) return false;
  }
  return true;
}

// What every record the library fills holds: an array exactly where counts and flags call for it.
void CheckArraysMatchCounts(const SolvoMesh_Experimental& mesh) {
  FUZZ_CHECK((mesh.vertices != nullptr) == (mesh.num_vertices > 0));
  FUZZ_CHECK((mesh.faces != nullptr) == (mesh.num_faces > 0));
  FUZZ_CHECK((mesh.normals != nullptr) == (mesh.has_normals && mesh.num_vertices > 0));
  FUZZ_CHECK((mesh.colors != nullptr) == (mesh.has_colors && mesh.num_vertices > 0));
}

void CheckExactCopy(const SolvoMesh_Experimental& in, const SolvoMesh_Experimental& out) {
  CheckArraysMatchCounts(out);
  FUZZ_CHECK(std::memcmp(in.tag, out.tag, sizeof in.tag) == 0);
  FUZZ_CHECK(in.num_vertices == out.num_vertices && in.num_faces == out.num_faces);
  FUZZ_CHECK(in.has_normals == out.has_normals && in.has_colors == out.has_colors);
  const size_t nv = in.num_vertices;
  FUZZ_CHECK(nv == 0 || std::memcmp(in.vertices, out.vertices, nv * 12) == 0);
  FUZZ_CHECK(in.num_faces == 0 || std::memcmp(in.faces, out.faces, size_t{in.num_faces} * 12) == 0);
  FUZZ_CHECK(out.normals == nullptr || std::memcmp(in.normals, out.normals, nv * 12) == 0);
  FUZZ_CHECK(out.colors == nullptr || std::memcmp(in.colors, out.colors, nv * 4) == 0);
}

void CheckSimplified(const SolvoMesh_Experimental& in, uint32_t target,
                     const SolvoMesh_Experimental& out) {
  if (in.num_faces <= target) {
    CheckExactCopy(in, out);
    return;
  }
  CheckArraysMatchCounts(out);
  FUZZ_CHECK(out.tag[0] == 0 && out.tag[1] == 0 && out.tag[2] == 0);
  FUZZ_CHECK(out.has_normals == in.has_normals && out.has_colors == in.has_colors);
  // Faces are dropped and merged, never made.
  FUZZ_CHECK(out.num_faces <= in.num_faces);
  FUZZ_CHECK(AllFinite(&out.vertices[0][0], size_t{out.num_vertices} * 3));
  for (uint32_t f = 0; f < out.num_faces; ++f) {
    const uint32_t* face = out.faces[f];
    for (int k = 0; k < 3; ++k) FUZZ_CHECK(face[k] < out.num_vertices);
    FUZZ_CHECK(face[0] != face[1] && face[1] != face[2] && face[2] != face[0]);
  }
  if (out.num_vertices > 0 && out.has_normals) {
    volatile float sink = out.normals[out.num_vertices - 1][2];  // the whole array is there
    (void)sink;
  }
}

// What one simplification with progress saw, and after how many reports it cancels (-1: never).
struct Progress {
  int cancel_after = -1;
  int reports = 0;
  float last = 0.0f;
  bool cancelled = false;
  bool cancelled_early = false;  // before the report of completion
};

int ReportProgress(float fraction_done, void* user_data) {
  auto* progress = static_cast<Progress*>(user_data);
  FUZZ_CHECK(progress != nullptr && !progress->cancelled);
  // Starts at 0, rises, ends at 1.
  FUZZ_CHECK(fraction_done >= progress->last && fraction_done <= 1.0f);
  progress->last = fraction_done;
  progress->cancelled = progress->reports++ == progress->cancel_after;
  progress->cancelled_early = progress->cancelled && fraction_done < 1.0f;
  return progress->cancelled ? 1 : 0;
}

void FreeAndCheckEmpty(SolvoMesh_Experimental* mesh) {
  FUZZ_CHECK_STATUS(SolvoSupport_freeMesh(mesh));
  const SolvoMesh_Experimental empty{};
  FUZZ_CHECK(std::memcmp(mesh, &empty, sizeof empty) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  FUZZ_CHECK_STATUS(SolvoSupport_initializeEmptyMesh(nullptr));
  FUZZ_CHECK_STATUS(SolvoSupport_freeMesh(nullptr));
  FUZZ_CHECK_STATUS(SolvoSupport_createMesh(1, 1, true, true, nullptr));
  FUZZ_CHECK_STATUS(SolvoSupport_copyMesh(nullptr, nullptr));
  FUZZ_CHECK_STATUS(SolvoSupport_createSimplifiedMesh(nullptr, 0, nullptr));

  // A record made by the library for counts from the input.
  SolvoMesh_Experimental made;
  std::memset(&made, 0x6b, sizeof made);
  FUZZ_CHECK_STATUS(SolvoSupport_initializeEmptyMesh(&made));
  const uint32_t made_vertices = input.ConsumeIntegralInRange<uint32_t>(0, 1024);
  const uint32_t made_faces = input.ConsumeIntegralInRange<uint32_t>(0, 1024);
  const bool made_normals = input.ConsumeBool();
  const bool made_colors = input.ConsumeBool();
  FUZZ_CHECK(SolvoSupport_createMesh(made_vertices, made_faces, made_normals, made_colors, &made) ==
             SOLVO_STATUS_OK);
  FUZZ_CHECK(made.num_vertices == made_vertices && made.num_faces == made_faces);
  CheckArraysMatchCounts(made);
  FreeAndCheckEmpty(&made);
  FreeAndCheckEmpty(&made);

  // Counts of any size: arrays beyond what memory gives fail the call with one line and leave
  // the record empty.
  SolvoMesh_Experimental huge;
  std::memset(&huge, 0x6b, sizeof huge);
  const bool big = input.ConsumeBool();
  const uint32_t huge_vertices = big ? UINT32_MAX : input.ConsumeIntegral<uint32_t>();
  const uint32_t huge_faces = input.ConsumeIntegral<uint32_t>();
  const SolvoErrorType huge_status = SolvoSupport_createMesh(
      huge_vertices, huge_faces, input.ConsumeBool(), input.ConsumeBool(), &huge);
  const int huge_lines = solvo_fuzz::TakeErrorLines();
  FUZZ_CHECK(huge_status != SOLVO_STATUS_BAD_ARGUMENT || sizeof(void*) == 4);
  FUZZ_CHECK(huge_lines == (huge_status == SOLVO_STATUS_OK ? 0 : 1));
  if (huge_status == SOLVO_STATUS_OK) {
    FUZZ_CHECK(huge.num_vertices == huge_vertices && huge.num_faces == huge_faces);
  } else if (huge_status == SOLVO_STATUS_FAILED) {
    const SolvoMesh_Experimental empty_record{};
    FUZZ_CHECK(std::memcmp(&huge, &empty_record, sizeof huge) == 0);
  }
  if (huge_status != SOLVO_STATUS_BAD_ARGUMENT) FreeAndCheckEmpty(&huge);

  InputMesh mesh;
  DecodeMesh(&input, &mesh);
  const SolvoMesh_Experimental& record = mesh.record;

  SolvoMesh_Experimental copy{};
  SolvoErrorType status = SolvoSupport_copyMesh(&record, &copy);
  FUZZ_CHECK_STATUS(status);
  FUZZ_CHECK(status == (mesh.missing_array ? SOLVO_STATUS_BAD_ARGUMENT : SOLVO_STATUS_OK));
  if (status == SOLVO_STATUS_OK) CheckExactCopy(record, copy);

  while (input.remaining_bytes() > 0) {
    uint32_t target;
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        target = input.ConsumeIntegral<uint32_t>();
        break;
      case 1:
        target = record.num_faces;
        break;
      default:
        target = input.ConsumeIntegralInRange<uint32_t>(0, record.num_faces);
        break;
    }
    // The simplifier reads the caller's record or the library's copy of it.
    const bool from_copy = copy.num_faces > 0 && input.ConsumeBool();
    const SolvoMesh_Experimental& source = from_copy ? copy : record;
    SolvoMesh_Experimental simplified;
    std::memset(&simplified, 0x3c, sizeof simplified);
    const SolvoMesh_Experimental before = simplified;
    // Through the plain entry, or reporting progress to a callback that may cancel.
    Progress progress;
    const int entry = input.ConsumeIntegralInRange<int>(0, 3);
    // Sometimes memory runs out at one of the call's requests.
    const int fail_at = input.ConsumeIntegralInRange<int>(0, 7) == 0
                            ? input.ConsumeIntegralInRange<int>(1, 300)
                            : 0;
    solvo_fuzz::FailNthNew(fail_at);
    if (entry == 0) {
      status = SolvoSupport_createSimplifiedMesh(&source, target, &simplified);
    } else {
      progress.cancel_after = input.ConsumeIntegralInRange<int>(-1, 6);
      status = SolvoSupport_createSimplifiedMeshWithProgress(
          &source, target, &simplified, entry == 1 ? nullptr : ReportProgress, &progress);
    }
    const bool out_of_memory = solvo_fuzz::NewFailed();
    solvo_fuzz::FailNthNew(0);
    // A request that may fail (a sorting buffer) is done without when it does; any other ends
    // the call with one line, the output untouched, or emptied when it was being made.
    if (out_of_memory && status == SOLVO_STATUS_FAILED && !progress.cancelled) {
      FUZZ_CHECK(solvo_fuzz::TakeErrorLines() == 1);
      const SolvoMesh_Experimental empty_record{};
      const bool untouched = std::memcmp(&simplified, &before, sizeof simplified) == 0;
      FUZZ_CHECK(untouched || std::memcmp(&simplified, &empty_record, sizeof simplified) == 0);
      if (!untouched) FreeAndCheckEmpty(&simplified);
      continue;
    }
    // A refusal whose own line is what ran out of memory is written without it: the line is
    // left out whole.
    if (out_of_memory && status == SOLVO_STATUS_BAD_ARGUMENT) {
      FUZZ_CHECK(solvo_fuzz::TakeErrorLines() <= 1);
      FUZZ_CHECK(std::memcmp(&simplified, &before, sizeof before) == 0);
      continue;
    }
    // Repairs of the input are warnings; an error line means a refused argument.
    FUZZ_CHECK_STATUS(status);
    // Only a cancel fails; a cancel before the work is complete always does.
    FUZZ_CHECK(status != SOLVO_STATUS_FAILED || progress.cancelled);
    FUZZ_CHECK(!progress.cancelled_early || status == SOLVO_STATUS_FAILED);
    if (status == SOLVO_STATUS_OK && progress.reports > 0) FUZZ_CHECK(progress.last == 1.0f);
    if (mesh.missing_array && !from_copy) FUZZ_CHECK(status == SOLVO_STATUS_BAD_ARGUMENT);
    if (status != SOLVO_STATUS_OK) {
      FUZZ_CHECK(std::memcmp(&simplified, &before, sizeof before) == 0);
      continue;
    }
    CheckSimplified(source, target, simplified);
    // The output is a mesh like any other: simplify it once more, then release it.
    if (input.ConsumeBool() && simplified.num_faces > 0) {
      SolvoMesh_Experimental again{};
      const uint32_t next_target = simplified.num_faces / 2;
      status = SolvoSupport_createSimplifiedMesh(&simplified, next_target, &again);
      FUZZ_CHECK_STATUS(status);
      // A simplified mesh is accepted again; a copy keeps whatever positions it was given.
      if (source.num_faces > target) FUZZ_CHECK(status == SOLVO_STATUS_OK);
      if (status == SOLVO_STATUS_OK) CheckSimplified(simplified, next_target, again);
      FreeAndCheckEmpty(&again);
    }
    FreeAndCheckEmpty(&simplified);
  }
  FreeAndCheckEmpty(&copy);
  return 0;
}
