// Memory that runs out inside an exported function: the call fails with SOLVO_STATUS_FAILED and
// one line, at every one of its allocations in turn, and the process goes on.
//
// The failures are injected by the allocation counter, which replaces the C library's allocator
// (glibc without a sanitizer; the sanitizers' allocators abort instead of failing, so these tests
// skip themselves there). Only the test's own thread is affected.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "halfedge-mesh/mesh-test-support.h"
#include "logging/log-capture.h"
#include "solvo_support_api.h"
#include "test-support/allocation-counter.h"

namespace {

using test_support::AllocationCounter;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr bool kPointers32 = sizeof(void*) == 4;

class AllocationFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!AllocationCounter::Available()) {
      GTEST_SKIP() << "no allocator to make fail here (a sanitizer, or not glibc)";
    }
  }

  // Runs `call` with its n-th allocation failing, for n = 1, 2, ..., and hands each run that hit
  // the failure to `failed(status)`; returns the status of the first run that made fewer than n
  // allocations and so ran to its end, after n - 1 failed runs (its count).
  template <typename Call, typename Failed>
  SolvoErrorType FailEachAllocationInTurn(Call&& call, Failed&& failed, int* failed_runs) {
    for (int64_t n = 1;; ++n) {
      capture_.Clear();
      AllocationCounter::FailNthAllocation(n);
      const SolvoErrorType status = call();
      const bool hit = AllocationCounter::AllocationFailed();
      AllocationCounter::FailNthAllocation(0);
      if (!hit) {
        *failed_runs = static_cast<int>(n - 1);
        return status;
      }
      failed(status);
      if (::testing::Test::HasFailure()) return status;
    }
  }

  // The one line a call that could not allocate writes.
  std::vector<std::string> Lines() { return capture_.Texts(); }
  static std::string OutOfMemoryLine(const char* signature) {
    return std::string(signature) + " could not allocate memory.";
  }

  logging::LogCapture capture_;
};

constexpr char kCreateXYZij[] = "SolvoErrorType SolvoSupport_createXYZij(uint32_t, SolvoXYZij*)";
constexpr char kFreeXYZij[] = "SolvoErrorType SolvoSupport_freeXYZij(SolvoXYZij*)";
constexpr char kCreateMesh[] =
    "SolvoErrorType SolvoSupport_createMesh(uint32_t, uint32_t, bool, bool, "
    "SolvoMesh_Experimental*)";
constexpr char kCopyMesh[] =
    "SolvoErrorType SolvoSupport_copyMesh(const SolvoMesh_Experimental*, "
    "SolvoMesh_Experimental*)";
constexpr char kSimplify[] =
    "SolvoErrorType SolvoSupport_createSimplifiedMesh(const SolvoMesh_Experimental*, uint32_t, "
    "SolvoMesh_Experimental*)";
constexpr char kCreateImageManager[] =
    "SolvoErrorType SolvoSupport_createImageBufferManager(SolvoImageFormatType, int, int, "
    "SolvoSupportImageBufferManager**)";
constexpr char kNearClick[] =
    "SolvoErrorType SolvoSupport_fitPlaneModelNearClickMatrixTransform(const SolvoXYZij*, const "
    "SolvoCameraIntrinsics*, const double*, const float*, double*, double*)";
constexpr char kRansac[] =
    "SolvoErrorType SolvoInternalSupport_fitPlaneToPointCloudRANSAC(const SolvoXYZij*, int, "
    "double, double, double, double*)";
constexpr char kRefine[] =
    "SolvoErrorType SolvoInternalSupport_refinePlaneModel(const SolvoXYZij*, const double*, "
    "double, double*)";

bool IsEmptyMesh(const SolvoMesh_Experimental& mesh) {
  const SolvoMesh_Experimental empty{};
  return std::memcmp(&mesh, &empty, sizeof mesh) == 0;
}

// ---- Counts too large to allocate, refused before any real allocation is made ----------------
// (On 32-bit targets such counts are bad arguments, whose lines allocate: nothing is made to fail
// there.)

TEST_F(AllocationFailureTest, CreateXYZijOfUint32MaxPointsFailsAndLeavesTheRecordCleared) {
  SolvoXYZij cloud;
  std::memset(&cloud, 0x5a, sizeof cloud);
  const uint32_t service_word = cloud.service_word;
  AllocationCounter::FailNthAllocation(kPointers32 ? 0 : 1);
  const SolvoErrorType status = SolvoSupport_createXYZij(UINT32_MAX, &cloud);
  AllocationCounter::FailNthAllocation(0);
  if (kPointers32) {
    // 12 bytes a point do not fit in 32 bits: no such array can exist there.
    EXPECT_EQ(status, SOLVO_STATUS_BAD_ARGUMENT);
    EXPECT_THAT(Lines(), ElementsAre(std::string(kCreateXYZij) + " max_point_count is too large."));
    return;
  }
  EXPECT_EQ(status, SOLVO_STATUS_FAILED);
  EXPECT_THAT(Lines(), ElementsAre(OutOfMemoryLine(kCreateXYZij)));
  EXPECT_EQ(cloud.xyz, nullptr);
  EXPECT_EQ(cloud.point_count, 0u);
  EXPECT_EQ(cloud.timestamp, 0.0);
  EXPECT_EQ(cloud.service_word, service_word);
  EXPECT_EQ(SolvoSupport_freeXYZij(&cloud), SOLVO_STATUS_OK);
}

TEST_F(AllocationFailureTest, CreatePointCloudManagerOfUint32MaxPointsFailsSilently) {
  SolvoSupportPointCloudManager* manager = nullptr;
  AllocationCounter::FailNthAllocation(kPointers32 ? 0 : 1);
  const SolvoErrorType status = SolvoSupport_createPointCloudManager(UINT32_MAX, &manager);
  AllocationCounter::FailNthAllocation(0);
  // The family refuses without lines; 32-bit targets cannot address that many points at all.
  EXPECT_EQ(status, kPointers32 ? SOLVO_STATUS_BAD_ARGUMENT : SOLVO_STATUS_FAILED);
  EXPECT_EQ(manager, nullptr);
  EXPECT_THAT(Lines(), IsEmpty());
}

TEST_F(AllocationFailureTest, CreateMeshOfUint32MaxElementsFailsAndLeavesTheRecordEmpty) {
  SolvoMesh_Experimental mesh;
  std::memset(&mesh, 0x5a, sizeof mesh);
  AllocationCounter::FailNthAllocation(kPointers32 ? 0 : 1);
  const SolvoErrorType status = SolvoSupport_createMesh(UINT32_MAX, UINT32_MAX, true, true, &mesh);
  AllocationCounter::FailNthAllocation(0);
  if (kPointers32) {
    EXPECT_EQ(status, SOLVO_STATUS_BAD_ARGUMENT);
    EXPECT_THAT(Lines(), ElementsAre(std::string(kCreateMesh) + " num_vertices is too large."));
    return;
  }
  EXPECT_EQ(status, SOLVO_STATUS_FAILED);
  EXPECT_THAT(Lines(), ElementsAre(OutOfMemoryLine(kCreateMesh)));
  EXPECT_TRUE(IsEmptyMesh(mesh));
  EXPECT_EQ(SolvoSupport_freeMesh(&mesh), SOLVO_STATUS_OK);
}

TEST_F(AllocationFailureTest, ARefusalWhoseLineCannotBeHadStillReturns) {
  // The refusal's line, or the line saying that memory ran out, or none when even that could
  // not be had: never a cut line, never the end of the process.
  const std::string refusal = std::string(kFreeXYZij) + " point_cloud is nullptr.";
  int failed_runs = 0;
  EXPECT_EQ(FailEachAllocationInTurn(
                [] { return SolvoSupport_freeXYZij(nullptr); },
                [&](SolvoErrorType status) {
                  const std::vector<std::string> lines = Lines();
                  ASSERT_LE(lines.size(), 1u);
                  if (status == SOLVO_STATUS_BAD_ARGUMENT) {
                    EXPECT_TRUE(lines.empty() || lines[0] == refusal) << lines[0];
                  } else {
                    EXPECT_EQ(status, SOLVO_STATUS_FAILED);
                    EXPECT_TRUE(lines.empty() || lines[0] == OutOfMemoryLine(kFreeXYZij))
                        << lines[0];
                  }
                },
                &failed_runs),
            SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_GT(failed_runs, 0);
  EXPECT_THAT(Lines(), ElementsAre(refusal));
}

// ---- Every allocation of a call, one after another ---------------------------------------------

TEST_F(AllocationFailureTest, TheManagersFailAtEachAllocationWithoutAHandle) {
  int failed_runs = 0;
  SolvoSupportImageBufferManager* images = nullptr;
  const auto create_images = [&] {
    return SolvoSupport_createImageBufferManager(SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP, 64, 48,
                                                 &images);
  };
  EXPECT_EQ(FailEachAllocationInTurn(
                create_images,
                [&](SolvoErrorType status) {
                  EXPECT_EQ(status, SOLVO_STATUS_FAILED);
                  EXPECT_EQ(images, nullptr);
                  EXPECT_THAT(Lines(), ElementsAre(OutOfMemoryLine(kCreateImageManager)));
                },
                &failed_runs),
            SOLVO_STATUS_OK);
  EXPECT_GE(failed_runs, 4);  // the handle and three images at least
  EXPECT_EQ(SolvoSupport_freeImageBufferManager(images), SOLVO_STATUS_OK);

  SolvoSupportPointCloudManager* clouds = nullptr;
  EXPECT_EQ(
      FailEachAllocationInTurn([&] { return SolvoSupport_createPointCloudManager(100, &clouds); },
                               [&](SolvoErrorType status) {
                                 EXPECT_EQ(status, SOLVO_STATUS_FAILED);
                                 EXPECT_EQ(clouds, nullptr);
                                 EXPECT_THAT(Lines(), IsEmpty());
                               },
                               &failed_runs),
      SOLVO_STATUS_OK);
  EXPECT_GE(failed_runs, 4);
  EXPECT_EQ(SolvoSupport_freePointCloudManager(clouds), SOLVO_STATUS_OK);
}

// A small closed sphere with normals and colours.
halfedge_mesh::MeshArrays ColouredSphere() {
  halfedge_mesh::MeshArrays arrays = halfedge_mesh::Icosphere(2);
  for (const auto& vertex : arrays.vertices) {
    arrays.normals.push_back(vertex);
    arrays.colors.push_back({static_cast<uint8_t>(128 + 100 * vertex[0]), 7, 9, 255});
  }
  return arrays;
}

SolvoMesh_Experimental Record(halfedge_mesh::MeshArrays* arrays) {
  SolvoMesh_Experimental mesh{};
  mesh.tag[0] = 17;
  mesh.num_vertices = static_cast<uint32_t>(arrays->vertices.size());
  mesh.num_faces = static_cast<uint32_t>(arrays->faces.size());
  mesh.vertices = reinterpret_cast<float(*)[3]>(arrays->vertices.data());
  mesh.faces = reinterpret_cast<uint32_t(*)[3]>(arrays->faces.data());
  mesh.has_normals = !arrays->normals.empty();
  mesh.has_colors = !arrays->colors.empty();
  mesh.normals = mesh.has_normals ? reinterpret_cast<float(*)[3]>(arrays->normals.data()) : nullptr;
  mesh.colors = mesh.has_colors ? reinterpret_cast<uint8_t(*)[4]>(arrays->colors.data()) : nullptr;
  return mesh;
}

TEST_F(AllocationFailureTest, CopyAndSimplifyFailAtEachAllocationWithoutLeakingOrWriting) {
  halfedge_mesh::MeshArrays arrays = ColouredSphere();
  const SolvoMesh_Experimental input = Record(&arrays);
  int failed_runs = 0;
  SolvoMesh_Experimental copy{};
  EXPECT_EQ(FailEachAllocationInTurn([&] { return SolvoSupport_copyMesh(&input, &copy); },
                                     [&](SolvoErrorType status) {
                                       EXPECT_EQ(status, SOLVO_STATUS_FAILED);
                                       // The copy empties its output before allocating, and leaves
                                       // it so.
                                       EXPECT_TRUE(IsEmptyMesh(copy));
                                       EXPECT_THAT(Lines(),
                                                   ElementsAre(OutOfMemoryLine(kCopyMesh)));
                                     },
                                     &failed_runs),
            SOLVO_STATUS_OK);
  EXPECT_EQ(failed_runs, 4);  // the four arrays
  EXPECT_EQ(copy.num_faces, input.num_faces);
  EXPECT_EQ(SolvoSupport_freeMesh(&copy), SOLVO_STATUS_OK);

  // Whatever the simplification had built when memory ran out is released again: the memory
  // held after all the failed runs (but for a few log lines in flight) is what it was before.
  SolvoMesh_Experimental output;
  std::memset(&output, 0x5a, sizeof output);
  const SolvoMesh_Experimental untouched = output;
  const int64_t held_before = AllocationCounter::Current();
  const SolvoErrorType status = FailEachAllocationInTurn(
      [&] { return SolvoSupport_createSimplifiedMesh(&input, input.num_faces / 4, &output); },
      [&](SolvoErrorType failed_status) {
        EXPECT_EQ(failed_status, SOLVO_STATUS_FAILED);
        EXPECT_THAT(Lines(), ElementsAre(OutOfMemoryLine(kSimplify)));
        // Failed before the output was made: untouched; while making it: emptied.
        EXPECT_TRUE(std::memcmp(&output, &untouched, sizeof output) == 0 || IsEmptyMesh(output));
        std::memcpy(&output, &untouched, sizeof output);
      },
      &failed_runs);
  capture_.Clear();
  logging::FlushLog();
  EXPECT_LT(AllocationCounter::Current() - held_before, 64 * 1024) << failed_runs << " runs";
  ASSERT_EQ(status, SOLVO_STATUS_OK);
  EXPECT_GT(failed_runs, 100);
  EXPECT_LE(output.num_faces, input.num_faces / 4);
  EXPECT_EQ(SolvoSupport_freeMesh(&output), SOLVO_STATUS_OK);
}

// ---- The plane fits ----------------------------------------------------------------------------

// A level floor y = 1.5 seen by a camera at the origin, 3000 points.
std::vector<std::array<float, 3>> Floor() {
  std::vector<std::array<float, 3>> points;
  for (int row = 0; row < 60; ++row) {
    for (int column = 0; column < 50; ++column) {
      points.push_back({-2.0f + 0.08f * static_cast<float>(column), 1.5f,
                        1.0f + 0.1f * static_cast<float>(row)});
    }
  }
  return points;
}

TEST_F(AllocationFailureTest, TheTouchRansacAndRefinementFailAtEachAllocationAndWriteNothing) {
  std::vector<std::array<float, 3>> points = Floor();
  SolvoXYZij cloud{};
  cloud.point_count = static_cast<uint32_t>(points.size());
  cloud.xyz = reinterpret_cast<float(*)[3]>(points.data());
  SolvoCameraIntrinsics intrinsics{};
  intrinsics.width = 640;
  intrinsics.height = 480;
  intrinsics.fx = intrinsics.fy = 500.0;
  intrinsics.cx = 320.0;
  intrinsics.cy = 240.0;
  const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  const float uv[2] = {0.5f, 0.85f};
  double point[3] = {7, 7, 7};
  double plane[4] = {7, 7, 7, 7};
  const auto untouched = [&] {
    EXPECT_THAT(point, ElementsAre(7, 7, 7));
    EXPECT_THAT(plane, ElementsAre(7, 7, 7, 7));
  };
  int failed_runs = 0;
  EXPECT_EQ(FailEachAllocationInTurn(
                [&] {
                  return SolvoSupport_fitPlaneModelNearClickMatrixTransform(
                      &cloud, &intrinsics, identity, uv, point, plane);
                },
                [&](SolvoErrorType status) {
                  EXPECT_EQ(status, SOLVO_STATUS_FAILED);
                  // Even the failures inside RANSAC and the refinement name the touch.
                  EXPECT_THAT(Lines(), ElementsAre(OutOfMemoryLine(kNearClick)));
                  untouched();
                },
                &failed_runs),
            SOLVO_STATUS_OK);
  EXPECT_GT(failed_runs, 5);
  EXPECT_NEAR(plane[1], -1.0, 1e-6);

  double ransac_plane[4] = {7, 7, 7, 7};
  EXPECT_EQ(FailEachAllocationInTurn(
                [&] {
                  return SolvoInternalSupport_fitPlaneToPointCloudRANSAC(&cloud, 50, 0.01, 0.8, 0.3,
                                                                         ransac_plane);
                },
                [&](SolvoErrorType status) {
                  EXPECT_EQ(status, SOLVO_STATUS_FAILED);
                  EXPECT_THAT(Lines(), ElementsAre(OutOfMemoryLine(kRansac)));
                  EXPECT_THAT(ransac_plane, ElementsAre(7, 7, 7, 7));
                },
                &failed_runs),
            SOLVO_STATUS_OK);
  EXPECT_GT(failed_runs, 3);

  const double start[4] = {0.0, 1.0, 0.0, -1.5};
  double refined[4] = {7, 7, 7, 7};
  EXPECT_EQ(FailEachAllocationInTurn(
                [&] { return SolvoInternalSupport_refinePlaneModel(&cloud, start, 0.01, refined); },
                [&](SolvoErrorType status) {
                  EXPECT_EQ(status, SOLVO_STATUS_FAILED);
                  EXPECT_THAT(Lines(), ElementsAre(OutOfMemoryLine(kRefine)));
                  EXPECT_THAT(refined, ElementsAre(7, 7, 7, 7));
                },
                &failed_runs),
            SOLVO_STATUS_OK);
  EXPECT_GT(failed_runs, 3);
}

}  // namespace
