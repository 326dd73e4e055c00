// The log callback, the flush and the last error text as an application uses them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "logging/log-capture.h"
#include "solvo_support_api.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::SizeIs;

constexpr char kFreeRefusal[] =
    "SolvoErrorType SolvoSupport_freeMesh(SolvoMesh_Experimental*) mesh is nullptr.";

struct Line {
  int priority;
  std::string tag;
  std::string text;
};

// What the callback received on the logging thread; read after a flush.
struct Received {
  std::mutex mutex;
  std::vector<Line> lines;

  static void Callback(int priority, const char* tag, const char* text, void* user_data) {
    auto* received = static_cast<Received*>(user_data);
    std::lock_guard<std::mutex> lock(received->mutex);
    received->lines.push_back({priority, tag, text});
  }
  std::vector<Line> Lines() {
    SolvoSupport_flushLog();
    std::lock_guard<std::mutex> lock(mutex);
    return lines;
  }
};

class LogCallbackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SolvoSupport_flushLog();
    ASSERT_EQ(SolvoSupport_setLogCallback(&Received::Callback, &received_), SOLVO_STATUS_OK);
  }
  void TearDown() override { SolvoSupport_setLogCallback(nullptr, nullptr); }

  Received received_;
};

TEST_F(LogCallbackTest, HandsOverARefusalsLineAsTheAndroidLogReceivesIt) {
  EXPECT_EQ(SolvoSupport_freeXYZij(nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  const auto lines = received_.Lines();
  ASSERT_THAT(lines, SizeIs(1));
  EXPECT_EQ(lines[0].priority, 6);
  EXPECT_EQ(lines[0].tag, "solvo");
  EXPECT_THAT(lines[0].text, MatchesRegex("support-depth-toolbox\\.cc:[0-9]+ SolvoErrorType "
                                          "SolvoSupport_freeXYZij\\(SolvoXYZij\\*\\) "
                                          "point_cloud is nullptr\\.\n"));
}

TEST_F(LogCallbackTest, HandsOverNothingOnceRemoved) {
  SolvoSupport_freeXYZij(nullptr);
  SolvoSupport_flushLog();
  ASSERT_EQ(SolvoSupport_setLogCallback(nullptr, nullptr), SOLVO_STATUS_OK);
  SolvoSupport_freeXYZij(nullptr);
  EXPECT_THAT(received_.Lines(), SizeIs(1));
}

// Writes a library line and flushes from inside its first call.
struct CallingBack {
  std::mutex mutex;
  std::vector<std::string> texts;

  static void Callback(int, const char*, const char* text, void* user_data) {
    auto* self = static_cast<CallingBack*>(user_data);
    bool first;
    {
      std::lock_guard<std::mutex> lock(self->mutex);
      first = self->texts.empty();
      self->texts.push_back(text);
    }
    if (first) {
      SolvoSupport_flushLog();
      SolvoSupport_createXYZij(1, nullptr);
    }
  }
};

TEST(LogCallback, MayCallTheLibraryWhoseLinesFollowTheOneBeingDelivered) {
  CallingBack calling_back;
  SolvoSupport_flushLog();
  SolvoSupport_setLogCallback(&CallingBack::Callback, &calling_back);
  SolvoSupport_freeXYZij(nullptr);
  SolvoSupport_flushLog();
  SolvoSupport_flushLog();  // the line written from inside was queued during the first flush
  SolvoSupport_setLogCallback(nullptr, nullptr);
  ASSERT_THAT(calling_back.texts, SizeIs(2));
  EXPECT_NE(calling_back.texts[0].find("SolvoSupport_freeXYZij"), std::string::npos);
  EXPECT_NE(calling_back.texts[1].find("SolvoSupport_createXYZij"), std::string::npos);
}

TEST(LastErrorText, IsTheLastErrorLineOfTheThreadsMostRecentCall) {
  SolvoSupport_freeMesh(nullptr);
  EXPECT_STREQ(SolvoSupport_getLastErrorText(), kFreeRefusal);
  // Reading it is no call: the text stays.
  EXPECT_STREQ(SolvoSupport_getLastErrorText(), kFreeRefusal);
  SolvoMesh_Experimental empty{};
  EXPECT_EQ(SolvoSupport_freeMesh(&empty), SOLVO_STATUS_OK);
  EXPECT_STREQ(SolvoSupport_getLastErrorText(), "");
}

TEST(LastErrorText, IsEmptyAfterARefusalWithoutALine) {
  SolvoSupport_freeMesh(nullptr);
  EXPECT_EQ(SolvoSupport_getLatestPointCloud(nullptr, nullptr), SOLVO_STATUS_BAD_ARGUMENT);
  EXPECT_STREQ(SolvoSupport_getLastErrorText(), "");
}

TEST(LastErrorText, BelongsToTheCallingThread) {
  SolvoSupport_freeMesh(nullptr);
  std::string seen_there = "unset";
  std::thread other([&] {
    seen_there = SolvoSupport_getLastErrorText();
    SolvoSupport_createMesh(0, 0, false, false, nullptr);
  });
  other.join();
  EXPECT_EQ(seen_there, "");
  EXPECT_STREQ(SolvoSupport_getLastErrorText(), kFreeRefusal);
}

// An application's call from inside a progress callback belongs to the call that runs it.
int RefuseAFreeAndGoOn(float, void*) {
  SolvoSupport_freeMesh(nullptr);
  return 0;
}

TEST(LastErrorText, KeepsALineWrittenByACallFromInsideAProgressCallback) {
  float vertices[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  uint32_t faces[1][3] = {{0, 1, 2}};
  SolvoMesh_Experimental input{};
  input.vertices = vertices;
  input.faces = faces;
  input.num_vertices = 3;
  input.num_faces = 1;
  SolvoMesh_Experimental output{};
  ASSERT_EQ(SolvoSupport_createSimplifiedMeshWithProgress(&input, 1, &output, RefuseAFreeAndGoOn,
                                                          nullptr),
            SOLVO_STATUS_OK);
  EXPECT_STREQ(SolvoSupport_getLastErrorText(), kFreeRefusal);
  SolvoSupport_freeMesh(&output);
}

SolvoErrorType IdentityPose(double, SolvoCoordinateFramePair frames, SolvoPoseData* pose) {
  *pose = SolvoPoseData{};
  pose->orientation[3] = 1.0;
  pose->frames = frames;
  return SOLVO_STATUS_OK;
}

// Each call below writes no line; every one must forget the refusal made before it.
TEST(LastErrorText, IsForgottenByEveryOtherFunctionOfTheLibrary) {
  float points[4][3] = {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
  SolvoXYZij cloud{};
  cloud.xyz = points;
  cloud.point_count = 4;
  SolvoXYZij copy{};
  SolvoCameraIntrinsics intrinsics{};
  intrinsics.width = intrinsics.height = 2;
  intrinsics.fx = intrinsics.fy = 1.0;
  const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  SolvoPoseData pose{};
  pose.orientation[3] = 1.0;
  const float uv[2] = {0.0f, 0.0f};
  float point[3];
  double plane[4] = {0, 0, 1, -1};
  double out[4];
  SolvoSupportImageBufferManager* images = nullptr;
  SolvoSupportPointCloudManager* clouds = nullptr;
  SolvoImageBuffer* image = nullptr;
  SolvoXYZij* latest = nullptr;
  SolvoMesh_Experimental mesh{};
  SolvoMesh_Experimental mesh_copy{};
  char value[32];

  const std::vector<std::pair<const char*, std::function<void()>>> calls = {
      {"createXYZij", [&] { SolvoSupport_createXYZij(4, &copy); }},
      {"copyXYZij", [&] { SolvoSupport_copyXYZij(&cloud, &copy); }},
      {"freeXYZij", [&] { SolvoSupport_freeXYZij(&copy); }},
      {"getDepthAtPointNearestNeighborMatrixTransform",
       [&] {
         SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(&cloud, &intrinsics, identity,
                                                                    uv, point, nullptr);
       }},
      {"getDepthAtPointNearestNeighbor",
       [&] {
         SolvoSupport_getDepthAtPointNearestNeighbor(&cloud, &intrinsics, &pose, uv, point,
                                                     nullptr);
       }},
      {"fitPlaneToPointCloudRANSAC",
       [&] { SolvoInternalSupport_fitPlaneToPointCloudRANSAC(&cloud, 5, 0.01, 0.8, 0.3, out); }},
      {"refinePlaneModel",
       [&] { SolvoInternalSupport_refinePlaneModel(&cloud, plane, 0.01, out); }},
      {"fitPlaneModelNearClickMatrixTransform",
       [&] {
         SolvoSupport_fitPlaneModelNearClickMatrixTransform(&cloud, &intrinsics, identity, uv, out,
                                                            out);
       }},
      {"fitPlaneModelNearClick",
       [&] { SolvoSupport_fitPlaneModelNearClick(&cloud, &intrinsics, &pose, uv, out, out); }},
      {"getWorldTCameraPose",
       [&] {
         SolvoSupport_getWorldTCameraPose(SOLVO_CONVENTION_LEFT_HANDED_Y_UP, &pose, out, out);
       }},
      {"calculateRelativePose",
       [&] {
         SolvoSupport_calculateRelativePose(0.0, SOLVO_FRAME_SENSOR_7, 1.0, SOLVO_FRAME_SENSOR_8,
                                            &pose);
       }},
      {"InternalSupport_calculateRelativePose",
       [&] {
         SolvoInternalSupport_calculateRelativePose(0.0, SOLVO_FRAME_SENSOR_7, 1.0,
                                                    SOLVO_FRAME_SENSOR_8, &pose, IdentityPose);
       }},
      {"createImageBufferManager",
       [&] {
         SolvoSupport_createImageBufferManager(SOLVO_HAL_PIXEL_FORMAT_RGBA_8888, 2, 2, &images);
       }},
      {"setImageBufferCopyRegion", [&] { SolvoSupport_setImageBufferCopyRegion(images, 0, 0, 1); }},
      {"getLatestImageBuffer", [&] { SolvoSupport_getLatestImageBuffer(images, &image); }},
      {"updateImageBuffer", [&] { SolvoSupport_updateImageBuffer(images, image); }},
      {"freeImageBufferManager", [&] { SolvoSupport_freeImageBufferManager(images); }},
      {"createPointCloudManager", [&] { SolvoSupport_createPointCloudManager(4, &clouds); }},
      {"updatePointCloud", [&] { SolvoSupport_updatePointCloud(clouds, &cloud); }},
      {"getLatestPointCloud", [&] { SolvoSupport_getLatestPointCloud(clouds, &latest); }},
      {"freePointCloudManager", [&] { SolvoSupport_freePointCloudManager(clouds); }},
      {"createMesh", [&] { SolvoSupport_createMesh(0, 0, false, false, &mesh); }},
      {"copyMesh", [&] { SolvoSupport_copyMesh(&mesh, &mesh_copy); }},
      {"createSimplifiedMesh", [&] { SolvoSupport_createSimplifiedMesh(&mesh, 0, &mesh_copy); }},
      {"createSimplifiedMeshWithProgress",
       [&] {
         SolvoSupport_createSimplifiedMeshWithProgress(&mesh, 0, &mesh_copy, nullptr, nullptr);
       }},
      {"initializeEmptyMesh", [&] { SolvoSupport_initializeEmptyMesh(&mesh_copy); }},
      {"freeMesh", [&] { SolvoSupport_freeMesh(&mesh); }},
      {"setLogCallback", [&] { SolvoSupport_setLogCallback(nullptr, nullptr); }},
      {"flushLog", [&] { SolvoSupport_flushLog(); }},
      {"getTuningFlag",
       [&] { SolvoSupport_getTuningFlag("random_generator_seed", value, sizeof value); }},
      {"setTuningFlag", [&] { SolvoSupport_setTuningFlag("random_generator_seed", value); }},
      {"getVersionString", [&] { SolvoSupport_getVersionString(); }},
      {"getStatusString", [&] { SolvoSupport_getStatusString(SOLVO_STATUS_OK); }},
  };
  logging::LogCapture capture;
  for (const auto& [name, call] : calls) {
    SolvoSupport_freeMesh(nullptr);
    call();
    EXPECT_STREQ(SolvoSupport_getLastErrorText(), "") << name;
  }
  // One refusal per call, and no line of the calls themselves.
  EXPECT_THAT(capture.Texts(), SizeIs(calls.size()));
}

}  // namespace
