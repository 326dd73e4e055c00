// The demo subcommand: every main job of the library on the shipped bunny scan, with a report.
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>

#include "arguments.h"
#include "commands.h"
#include "demo-scene.h"
#include "depth-picture.h"
#include "library-log.h"
#include "mesh-files.h"
#include "output-file.h"
#include "records.h"
#include "simplify-progress.h"

namespace solvo_cli {

const char kDemoHelp[] =
    "usage: solvo-support demo [--out DIR] [--mesh FILE] [--seed N] [--verbose]\n"
    "\n"
    "Runs every main job of the library on the bunny scan shipped with it and reports each\n"
    "result and its time:\n"
    "  1. the mesh simplified to 10% of its faces, written out;\n"
    "  2. a depth frame cast from a 640 x 480 pinhole camera at the bunny standing on a floor,\n"
    "     with 3 mm depth noise (fixed seed), written out as a point cloud;\n"
    "  3. the plane under a touch on the floor, and 4. the depth under a pixel on the bunny,\n"
    "     both drawn into a PNG with a colour bar labelled in metres;\n"
    "  5. the relative pose between two sensor frames at two times, from the device;\n"
    "  6. a writer thread streaming depth frames through the point cloud manager to a reader.\n"
    "\n"
    "  --out DIR     where the files go (default ./solvo-demo-output, created if missing)\n"
    "  --mesh FILE   another mesh to stand on the floor instead of the bunny; the report and the\n"
    "                simplified mesh take its file's name (scan.ply: scan-simplified.ply)\n"
    "  --seed N      seed the plane fit's random samples with N (0 to 2147483647): the same\n"
    "                plane on every run (the frame's noise has a fixed seed of its own)\n"
    "  --verbose     show the library's own log lines on standard error as they arrive; the\n"
    "                report counts its warnings either way\n";

namespace {

using Clock = std::chrono::steady_clock;

constexpr PinholeCamera kCamera{640, 480, 525.0, 525.0, 319.5, 239.5};
constexpr double kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool IsFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The installed copy beside the program first, then the source tree the program was built from.
std::string ShippedBunny() {
  char exe[4096];
  const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (length > 0) {
    std::string dir(exe, static_cast<size_t>(length));
    dir = dir.substr(0, dir.find_last_of('/'));
    const std::string installed = dir + "/../share/solvo-support/bunny.ply";
    if (IsFile(installed)) {
      char resolved[PATH_MAX];
      return ::realpath(installed.c_str(), resolved) != nullptr ? resolved : installed;
    }
  }
  const std::string source = std::string(SOLVO_SUPPORT_DATA_DIR) + "/bunny.ply";
  if (IsFile(source)) return source;
  throw InputError("cannot find the shipped bunny.ply (looked beside the program and in " +
                   std::string(SOLVO_SUPPORT_DATA_DIR) + "); pass --mesh FILE");
}

void MakeDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) {
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return;
    throw InputError("cannot use '" + path + "' as the output folder: it is not a folder");
  }
  throw InputError("cannot create '" + path + "': " + std::strerror(errno));
}

// What the report and the file names call the mesh: its file's name without folder and extension.
std::string MeshName(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  name = name.substr(0, name.find_last_of('.'));
  return name.empty() ? "mesh" : name;
}

// A point cloud as binary PLY: what the plane and depth commands read back.
void WritePointCloudPly(const std::vector<Vector3f>& points, const std::string& path) {
  std::string bytes = "ply\nformat binary_little_endian 1.0\nelement vertex " +
                      std::to_string(points.size()) +
                      "\nproperty float x\nproperty float y\nproperty float z\nend_header\n";
  // The host is little-endian, as PLY's binary_little_endian asks.
  bytes.append(reinterpret_cast<const char*>(points.data()), points.size() * sizeof(Vector3f));
  WriteOutputFile(path, bytes);
}

// One numbered step of the report: its result lines, or FAILED and why; later steps still run.
class Report {
 public:
  void Step(const std::string& title, const std::function<void()>& work) {
    ++steps_;
    std::printf("%d. %s\n", steps_, title.c_str());
    std::fflush(stdout);
    try {
      work();
    } catch (const std::exception& error) {
      ++failed_;
      std::printf("   FAILED: %s\n", error.what());
    }
    std::fflush(stdout);
  }
  void Wrote(const std::string& path) {
    written_.push_back(path);
    std::printf("   wrote %s\n", path.c_str());
  }
  // Throws InputError, after the list of files, when a step failed.
  void Finish() const {
    std::printf("\nfiles written:\n");
    for (const std::string& path : written_) std::printf("  %s\n", path.c_str());
    if (failed_ > 0) {
      throw InputError(std::to_string(failed_) + " of " + std::to_string(steps_) + " steps failed");
    }
    std::printf("\nall %d steps done\n", steps_);
  }

 private:
  int steps_ = 0, failed_ = 0;
  std::vector<std::string> written_;
};

void StreamFrames(const std::vector<Vector3f>& points) {
  constexpr int kFrames = 30;
  constexpr auto kPeriod = std::chrono::microseconds(1000000 / 60);
  SolvoSupportPointCloudManager* manager = nullptr;
  CheckStatus(SolvoSupport_createPointCloudManager(static_cast<uint32_t>(points.size()), &manager),
              "creating the point cloud manager");
  std::atomic<bool> writer_done{false};
  std::atomic<int> writer_status{SOLVO_STATUS_OK};
  double update_ms = 0.0;
  std::thread writer([&] {
    CloudRecord frame(points, 0.0);
    auto tick = Clock::now();
    for (int i = 0; i < kFrames; ++i) {
      frame.get()->timestamp = 1.0 + i / 60.0;
      const auto start = Clock::now();
      const SolvoErrorType status = SolvoSupport_updatePointCloud(manager, frame.get());
      update_ms += MillisecondsSince(start);
      if (status != SOLVO_STATUS_OK) {
        writer_status = status;
        break;
      }
      tick += kPeriod;
      std::this_thread::sleep_until(tick);
    }
    writer_done = true;
  });
  const double last_timestamp = 1.0 + (kFrames - 1) / 60.0;
  int received = 0, polls = 0, mismatched = 0;
  double seen = 0.0, get_ms = 0.0;
  SolvoErrorType reader_status = SOLVO_STATUS_OK;
  Clock::time_point writer_end{};
  for (;;) {
    SolvoXYZij* latest = nullptr;
    const auto start = Clock::now();
    reader_status = SolvoSupport_getLatestPointCloud(manager, &latest);
    get_ms += MillisecondsSince(start);
    ++polls;
    if (reader_status != SOLVO_STATUS_OK || latest == nullptr) break;
    if (latest->timestamp > seen) {
      seen = latest->timestamp;
      ++received;
      if (latest->point_count != points.size() || latest->xyz == nullptr ||
          std::memcmp(latest->xyz, points.data(), points.size() * sizeof(Vector3f)) != 0) {
        ++mismatched;
      }
    }
    if (seen >= last_timestamp) break;
    if (writer_done && writer_end == Clock::time_point{}) writer_end = Clock::now();
    if (writer_end != Clock::time_point{} && Clock::now() - writer_end > std::chrono::seconds(1))
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  writer.join();
  SolvoSupport_freePointCloudManager(manager);
  CheckStatus(static_cast<SolvoErrorType>(writer_status.load()), "updating the point cloud");
  CheckStatus(reader_status, "getting the latest point cloud");
  std::printf("   writer thread: %d frames of %zu points at 60 Hz; update %.3f ms each (mean)\n",
              kFrames, points.size(), update_ms / kFrames);
  std::printf(
      "   reader: %d distinct frames received, newest t = %.4f s, %d polls; get-latest %.2f us "
      "each (mean)\n",
      received, seen, polls, 1000.0 * get_ms / polls);
  if (mismatched > 0 || seen < last_timestamp) {
    throw InputError(std::to_string(mismatched) + " frames arrived altered, newest frame " +
                     (seen < last_timestamp ? "missing" : "received"));
  }
}

}  // namespace

int RunDemo(const std::vector<std::string>& words) {
  const Arguments arguments(words, {"--help", "--verbose"}, {"--out", "--mesh", "--seed"});
  ApplyVerbose(arguments.Has("--verbose"));
  if (arguments.Has("--help")) {
    std::fputs(kDemoHelp, stdout);
    return 0;
  }
  arguments.ExpectPositional(0, "no arguments");
  const std::optional<std::string> seed = arguments.Value("--seed");
  if (seed) FixPlaneFitSeed(*seed);
  const std::string out = arguments.Value("--out").value_or("solvo-demo-output");
  const std::optional<std::string> mesh_option = arguments.Value("--mesh");
  const std::string mesh_path = mesh_option ? *mesh_option : ShippedBunny();
  MakeDirectory(out);

  const MeshData mesh = ReadMesh(mesh_path);
  const std::string name = MeshName(mesh_path);
  std::printf("solvo-support demo: the library's main jobs on %s (%zu vertices, %zu faces)\n\n",
              mesh_path.c_str(), mesh.vertices.size(), mesh.faces.size());
  Report report;

  report.Step("mesh simplified to 10% of its faces", [&] {
    const MeshRecord input(mesh);
    MeshRecord output;
    const uint32_t target = static_cast<uint32_t>(std::max<size_t>(1, mesh.faces.size() / 10));
    const auto start = Clock::now();
    SimplifyShowingProgress(input.mesh(), target, true, &output);
    const double milliseconds = MillisecondsSince(start);
    std::printf("   %u -> %u faces (target %u), %u -> %u vertices in %.1f ms\n",
                input.mesh().num_faces, output.mesh().num_faces, target, input.mesh().num_vertices,
                output.mesh().num_vertices, milliseconds);
    const int warnings = TakeLibraryWarnings();
    std::printf("   library warnings about the input: %d %s%s\n", warnings,
                warnings == 1 ? "line" : "lines", warnings > 0 ? " (--verbose shows them)" : "");
    const std::string path = out + "/" + name + "-simplified.ply";
    WriteMesh(output.ToMeshData(), path, nullptr);
    report.Wrote(path);
  });

  SceneFrame frame;
  const std::string cloud_path = out + "/depth-frame.ply";
  report.Step(
      "depth frame from a 640 x 480 pinhole camera at the " + name + " on a floor, 3 mm noise",
      [&] {
        const auto start = Clock::now();
        frame = CastDepthFrame(mesh, /*mesh_height=*/0.19, /*yaw=*/2.4, /*camera_height=*/0.45,
                               /*distance=*/0.55, kCamera, /*noise_sigma=*/0.003, /*seed=*/7,
                               /*max_range=*/4.0);
        size_t on_mesh = 0;
        for (uint8_t hit : frame.on_mesh) on_mesh += hit;
        std::printf("   %zu points (%zu on the %s), rays cast in %.1f ms (by this program)\n",
                    frame.points.size(), on_mesh, name.c_str(), MillisecondsSince(start));
        WritePointCloudPly(frame.points, cloud_path);
        report.Wrote(cloud_path);
      });

  SolvoCameraIntrinsics intrinsics{};
  intrinsics.width = kCamera.width;
  intrinsics.height = kCamera.height;
  intrinsics.fx = kCamera.fx;
  intrinsics.fy = kCamera.fy;
  intrinsics.cx = kCamera.cx;
  intrinsics.cy = kCamera.cy;
  const float touch_uv[2] = {0.25f, 0.85f};
  PictureMarks marks;
  marks.touch = std::array<double, 2>{touch_uv[0] * 640.0, touch_uv[1] * 480.0};
  const std::string seeded = seed ? ", seed " + *seed : ", seeded from the clock";
  report.Step("plane under a touch on the floor at pixel (160, 408)" + seeded, [&] {
    if (frame.points.empty()) throw InputError("no depth frame");
    CloudRecord cloud(frame.points, 1.0);
    double point[3], plane[4];
    const auto start = Clock::now();
    const SolvoErrorType status = SolvoSupport_fitPlaneModelNearClickMatrixTransform(
        cloud.get(), &intrinsics, kIdentity, touch_uv, point, plane);
    const double milliseconds = MillisecondsSince(start);
    CheckStatus(status, "fitting the plane");
    const auto& truth = frame.floor_plane;
    const double cosine = plane[0] * truth[0] + plane[1] * truth[1] + plane[2] * truth[2];
    const double angle = std::acos(std::min(1.0, std::fabs(cosine))) * 180.0 / M_PI;
    size_t inliers = 0;
    marks.highlighted.resize(frame.points.size());
    for (size_t i = 0; i < frame.points.size(); ++i) {
      const Vector3f& p = frame.points[i];
      marks.highlighted[i] =
          std::fabs(plane[0] * p[0] + plane[1] * p[1] + plane[2] * p[2] + plane[3]) < 0.01;
      inliers += marks.highlighted[i];
    }
    std::printf("   plane %.4f %.4f %.4f %.4f (a b c d) in %.2f ms\n", plane[0], plane[1], plane[2],
                plane[3], milliseconds);
    std::printf("   true floor %.4f %.4f %.4f %.4f: normal off by %.3f deg, distance by %.2f mm\n",
                truth[0], truth[1], truth[2], truth[3], angle,
                std::fabs(plane[3] - truth[3]) * 1000.0);
    std::printf("   touched point %.4f %.4f %.4f m; %zu of %zu points within 1 cm of the plane\n",
                point[0], point[1], point[2], inliers, frame.points.size());
  });

  const std::string picture_path = out + "/depth-picture.png";
  report.Step("depth under a pixel on the " + name, [&] {
    if (frame.points.empty()) throw InputError("no depth frame");
    marks.query = frame.mesh_centre_pixel;
    // The camera aims at the mesh's middle, so it projects inside the image.
    const int column =
        std::clamp(static_cast<int>(std::lround(frame.mesh_centre_pixel[0])), 0, 639);
    const int row = std::clamp(static_cast<int>(std::lround(frame.mesh_centre_pixel[1])), 0, 479);
    const float uv[2] = {static_cast<float>(column / 640.0), static_cast<float>(row / 480.0)};
    CloudRecord cloud(frame.points, 1.0);
    float point[3];
    int found = 0;
    const auto start = Clock::now();
    const SolvoErrorType status = SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
        cloud.get(), &intrinsics, kIdentity, uv, point, &found);
    const double milliseconds = MillisecondsSince(start);
    CheckStatus(status, "looking up the depth");
    const size_t pixel = size_t(row) * 640u + size_t(column);
    const std::string where = frame.on_mesh[pixel] ? " on the " + name : "";
    std::printf("   pixel (%d, %d)%s: found %s, point %.4f %.4f %.4f m in %.3f ms\n", column, row,
                where.c_str(), found ? "yes" : "no", point[0], point[1], point[2], milliseconds);
    if (found && frame.exact_depth[pixel] > 0.0f) {
      std::printf("   exact depth there %.4f m: off by %.1f mm (the noise is 3 mm)\n",
                  frame.exact_depth[pixel],
                  std::fabs(point[2] - frame.exact_depth[pixel]) * 1000.0);
    }
  });

  report.Step("picture: the frame seen by the camera, coloured by depth, plane inliers hatched",
              [&] {
                if (frame.points.empty()) throw InputError("no depth frame");
                WriteDepthPicture(frame.points, kIdentity, intrinsics, marks, picture_path);
                report.Wrote(picture_path);
              });

  report.Step("relative pose: sensor 7 at 1.0 s to sensor 8 at 1.5 s, from the device", [&] {
    SolvoPoseData pose{};
    const auto start = Clock::now();
    const SolvoErrorType status = SolvoSupport_calculateRelativePose(1.0, SOLVO_FRAME_SENSOR_7, 1.5,
                                                                     SOLVO_FRAME_SENSOR_8, &pose);
    const double milliseconds = MillisecondsSince(start);
    CheckStatus(status, "the relative pose");
    const double* q = pose.orientation;
    const double* t = pose.translation;
    const double angle = 2.0 * std::acos(std::min(1.0, std::fabs(q[3]))) * 180.0 / M_PI;
    std::printf("   translation %.4f %.4f %.4f m (%.1f mm), rotation %.2f deg\n", t[0], t[1], t[2],
                1000.0 * std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]), angle);
    std::printf("   quaternion x y z w %.5f %.5f %.5f %.5f, in %.3f ms\n", q[0], q[1], q[2], q[3],
                milliseconds);
  });

  report.Step("a writer thread streams depth frames through the point cloud manager to a reader",
              [&] {
                if (frame.points.empty()) throw InputError("no depth frame");
                StreamFrames(frame.points);
              });

  std::printf("\nthe same on the command line:\n");
  std::printf(
      "  solvo-support plane %s --intrinsics 525,525,319.5,239.5,640,480 --touch 0.25,0.85 --image "
      "plane.png\n",
      cloud_path.c_str());
  std::printf("  solvo-support simplify %s %s-1000.obj --faces 1000\n", mesh_path.c_str(),
              name.c_str());
  report.Finish();
  return 0;
}

}  // namespace solvo_cli
