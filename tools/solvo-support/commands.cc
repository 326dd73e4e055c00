// The simplify, plane and depth subcommands of solvo-support.
#include "commands.h"

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <set>

#include "arguments.h"
#include "depth-picture.h"
#include "library-log.h"
#include "mesh-files.h"
#include "records.h"
#include "simplify-progress.h"

namespace solvo_cli {

const char kSimplifyHelp[] =
    "usage: solvo-support simplify IN OUT --faces N [--quiet] [--verbose]\n"
    "\n"
    "Simplifies the triangle mesh IN to at most N triangles by quadric-error edge collapse and\n"
    "writes it to OUT. N may also be a percentage of the input's faces (--faces 10%).\n"
    "IN: any format the mesh-file library reads (PLY, OBJ, OFF among them); OUT: .ply, .obj or\n"
    ".off by its extension. Per-vertex normals and colours are kept where the format has them\n"
    "(OFF keeps one of the two, OBJ no alpha).\n"
    "Prints the input and output vertex and face counts and the time; a long run shows its\n"
    "progress on the terminal.\n"
    "\n"
    "Counts the library's warnings about the input (faces it dropped, vertices it split).\n"
    "\n"
    "  --faces N   the most triangles to keep: a whole number, or a percentage such as 10%\n"
    "  --quiet     print nothing but errors (the lines --verbose asks for still show)\n"
    "  --verbose   show the library's own log lines on standard error as they arrive\n";

const char kPlaneHelp[] =
    "usage: solvo-support plane CLOUD --intrinsics fx,fy,cx,cy,width,height --touch u,v\n"
    "                           [--transform m0,...,m15] [--image OUT.png] [--seed N]\n"
    "                           [--verbose]\n"
    "\n"
    "Finds the plane under a touched pixel of the colour image: the depth points projected\n"
    "within 100 pixels of the touch, RANSAC, a least-squares refit against the whole cloud.\n"
    "Prints the plane a b c d (a x + b y + c z + d = 0, unit normal towards the camera) and the\n"
    "point where the touch ray meets it, both in the point cloud's frame.\n"
    "\n"
    "  CLOUD          a .ply file (its vertices) or text with one 'x y z' a line, in metres\n"
    "  --intrinsics   the colour camera: focal lengths and principal point in pixels, image size\n"
    "  --touch u,v    the touch as fractions of the image width and height (0.5,0.5: centre)\n"
    "  --transform    color_camera_T_point_cloud: 16 numbers, column-major (translation at the\n"
    "                 13th to 15th); default the identity\n"
    "  --image FILE   a PNG of the cloud seen by the colour camera, coloured by depth (a bar\n"
    "                 labelled in metres), the touch marked, the plane's inliers (within 1 cm)\n"
    "                 hatched\n"
    "  --seed N       seed the fit's random samples with N (0 to 2147483647), so that runs on\n"
    "                 the same cloud give the same plane; without it each run draws anew\n"
    "  --verbose      show the library's own log lines on standard error as they arrive\n";

const char kDepthHelp[] =
    "usage: solvo-support depth CLOUD --intrinsics fx,fy,cx,cy,width,height --uv u,v\n"
    "                           [--transform m0,...,m15] [--image OUT.png] [--verbose]\n"
    "\n"
    "Finds the depth under a pixel of the colour image: the depth point projected nearest to\n"
    "it (within 10 pixels) gives the depth, and the pixel's ray is lifted to it. Prints whether\n"
    "a point was found and the point in the colour camera's frame.\n"
    "\n"
    "  CLOUD          a .ply file (its vertices) or text with one 'x y z' a line, in metres\n"
    "  --intrinsics   the colour camera: focal lengths and principal point in pixels, image size\n"
    "  --uv u,v       the pixel as fractions of the image width and height (0.5,0.5: centre)\n"
    "  --transform    color_camera_T_point_cloud: 16 numbers, column-major (translation at the\n"
    "                 13th to 15th); default the identity\n"
    "  --image FILE   a PNG of the cloud seen by the colour camera, coloured by depth (a bar\n"
    "                 labelled in metres), the queried pixel marked\n"
    "  --verbose      show the library's own log lines on standard error as they arrive\n";

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The lines a run's commands show, and its words, are chosen before any library call.
Arguments CommandArguments(const std::vector<std::string>& words, std::set<std::string> flags,
                           const std::set<std::string>& valued) {
  flags.insert("--verbose");
  Arguments arguments(words, flags, valued);
  ApplyVerbose(arguments.Has("--verbose"));
  return arguments;
}

uint32_t ParseFaces(const std::string& text, uint32_t input_faces) {
  if (!text.empty() && text.back() == '%') {
    const double percent = ParseNumbers(text.substr(0, text.size() - 1), 1, "--faces")[0];
    if (!(percent > 0.0 && percent <= 100.0)) {
      throw UsageError("bad --faces '" + text + "': expected a percentage above 0 and up to 100");
    }
    return static_cast<uint32_t>(std::max(1.0, std::round(input_faces * percent / 100.0)));
  }
  return ParseCount(text, "--faces");
}

SolvoCameraIntrinsics ParseIntrinsics(const std::string& text) {
  const std::vector<double> n = ParseNumbers(text, 6, "--intrinsics");
  const auto whole = [](double value) {
    return value >= 1.0 && value <= 16384.0 && value == std::floor(value);
  };
  if (!(n[0] > 0.0 && n[1] > 0.0)) {
    throw UsageError("bad --intrinsics '" + text + "': the focal lengths fx, fy must be above 0");
  }
  if (!whole(n[4]) || !whole(n[5])) {
    throw UsageError("bad --intrinsics '" + text +
                     "': width and height must be whole numbers from 1 to 16384");
  }
  SolvoCameraIntrinsics intrinsics{};
  intrinsics.fx = n[0];
  intrinsics.fy = n[1];
  intrinsics.cx = n[2];
  intrinsics.cy = n[3];
  intrinsics.width = static_cast<uint32_t>(n[4]);
  intrinsics.height = static_cast<uint32_t>(n[5]);
  return intrinsics;
}

std::array<double, 16> ParseTransform(const std::optional<std::string>& text) {
  std::array<double, 16> m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  if (!text) return m;
  const std::vector<double> n = ParseNumbers(*text, 16, "--transform");
  std::copy(n.begin(), n.end(), m.begin());
  if (m[3] != 0.0 || m[7] != 0.0 || m[11] != 0.0 || m[15] != 1.0) {
    throw UsageError(
        "bad --transform: the last row (4th, 8th, 12th, 16th numbers) must be 0 0 0 1");
  }
  const double det = m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
                     m[8] * (m[1] * m[6] - m[5] * m[2]);
  if (!(std::fabs(det) > 1e-9)) throw UsageError("bad --transform: its rotation part is singular");
  return m;
}

std::array<float, 2> ParseUv(const std::string& text, const std::string& what) {
  const std::vector<double> n = ParseNumbers(text, 2, what);
  return {static_cast<float>(n[0]), static_cast<float>(n[1])};
}

// What plane and depth share: the cloud, the camera, the transform and the picture's path.
struct CloudQuery {
  std::vector<Vector3f> points;
  SolvoCameraIntrinsics intrinsics{};
  std::array<double, 16> transform{};
  std::optional<std::string> image;
};

CloudQuery ParseCloudQuery(const Arguments& arguments) {
  arguments.ExpectPositional(1, "CLOUD");
  CloudQuery query;
  query.intrinsics = ParseIntrinsics(arguments.Required("--intrinsics"));
  query.transform = ParseTransform(arguments.Value("--transform"));
  query.image = arguments.Value("--image");
  if (query.image) CheckWritablePictureFormat(*query.image);
  query.points = ReadPointCloud(arguments.positional()[0]);
  return query;
}

}  // namespace

void ApplyVerbose(bool verbose) { ReceiveLibraryLog(verbose); }

void FixPlaneFitSeed(const std::string& text) {
  const double seed = ParseNumbers(text, 1, "--seed")[0];
  if (!(seed >= 0.0 && seed <= 2147483647.0 && seed == std::floor(seed))) {
    throw UsageError("bad --seed '" + text + "': expected a whole number from 0 to 2147483647");
  }
  CheckStatus(SolvoSupport_setTuningFlag("random_generator_use_random_seed", "false"),
              "fixing the random seed");
  CheckStatus(SolvoSupport_setTuningFlag("random_generator_seed",
                                         std::to_string(static_cast<long>(seed)).c_str()),
              "fixing the random seed");
}

int RunSimplify(const std::vector<std::string>& words) {
  const Arguments arguments = CommandArguments(words, {"--help", "--quiet"}, {"--faces"});
  if (arguments.Has("--help")) {
    std::fputs(kSimplifyHelp, stdout);
    return 0;
  }
  arguments.ExpectPositional(2, "IN OUT");
  const std::string faces_text = arguments.Required("--faces");
  // Mistakes are refused before the mesh is read and simplified.
  ParseFaces(faces_text, 1);
  CheckWritableMeshFormat(arguments.positional()[1]);
  const bool quiet = arguments.Has("--quiet");
  const std::string& in = arguments.positional()[0];
  const std::string& out = arguments.positional()[1];

  const MeshData input_data = ReadMesh(in);
  const uint32_t target = ParseFaces(faces_text, static_cast<uint32_t>(input_data.faces.size()));
  const MeshRecord input(input_data);
  MeshRecord output;
  const auto start = Clock::now();
  SimplifyShowingProgress(input.mesh(), target, !quiet, &output);
  const double milliseconds = MillisecondsSince(start);
  std::string note;
  WriteMesh(output.ToMeshData(), out, &note);
  if (!quiet) {
    if (!note.empty()) std::fprintf(stderr, "solvo-support: note: %s\n", note.c_str());
    std::printf("input:  %u vertices, %u faces%s%s (%s)\n", input.mesh().num_vertices,
                input.mesh().num_faces, input.mesh().has_normals ? ", normals" : "",
                input.mesh().has_colors ? ", colours" : "", in.c_str());
    std::printf("output: %u vertices, %u faces (%s)\n", output.mesh().num_vertices,
                output.mesh().num_faces, out.c_str());
    std::printf("time:   %.1f ms\n", milliseconds);
    if (const int warnings = TakeLibraryWarnings()) {
      std::printf("library warnings: %d %s about the input (--verbose shows them)\n", warnings,
                  warnings == 1 ? "line" : "lines");
    }
  }
  return 0;
}

int RunPlane(const std::vector<std::string>& words) {
  const Arguments arguments = CommandArguments(
      words, {"--help"}, {"--intrinsics", "--touch", "--transform", "--image", "--seed"});
  if (arguments.Has("--help")) {
    std::fputs(kPlaneHelp, stdout);
    return 0;
  }
  const std::array<float, 2> touch = ParseUv(arguments.Required("--touch"), "--touch");
  if (const std::optional<std::string> seed = arguments.Value("--seed")) FixPlaneFitSeed(*seed);
  CloudQuery query = ParseCloudQuery(arguments);
  if (query.points.size() < 3) {
    throw InputError("the cloud holds " + std::to_string(query.points.size()) +
                     (query.points.size() == 1 ? " point" : " points") +
                     "; a plane needs at least 3");
  }
  CloudRecord cloud(query.points, 0.0);
  double intersection[3] = {0, 0, 0}, plane[4] = {0, 0, 0, 0};
  const auto start = Clock::now();
  const SolvoErrorType status = SolvoSupport_fitPlaneModelNearClickMatrixTransform(
      cloud.get(), &query.intrinsics, query.transform.data(), touch.data(), intersection, plane);
  const double milliseconds = MillisecondsSince(start);
  const std::array<double, 2> pixel{double(touch[0]) * query.intrinsics.width,
                                    double(touch[1]) * query.intrinsics.height};

  PictureMarks marks;
  marks.touch = pixel;
  size_t inliers = 0;
  if (status == SOLVO_STATUS_OK) {
    marks.highlighted.resize(query.points.size());
    for (size_t i = 0; i < query.points.size(); ++i) {
      const Vector3f& p = query.points[i];
      const double distance = plane[0] * p[0] + plane[1] * p[1] + plane[2] * p[2] + plane[3];
      marks.highlighted[i] = std::fabs(distance) < 0.01;
      inliers += marks.highlighted[i];
    }
  }
  if (query.image) {
    WriteDepthPicture(query.points, query.transform.data(), query.intrinsics, marks, *query.image);
  }
  if (status == SOLVO_STATUS_FAILED) {
    char where[64];
    std::snprintf(where, sizeof where, "(%g, %g)", pixel[0], pixel[1]);
    throw InputError("no plane found under the touch at pixel " + std::string(where) + " among " +
                     std::to_string(query.points.size()) + " points" + LibraryReason());
  }
  CheckStatus(status, "fitting the plane");
  std::printf("points: %zu\n", query.points.size());
  std::printf("plane: %.6f %.6f %.6f %.6f\n", plane[0], plane[1], plane[2], plane[3]);
  std::printf("touched point: %.6f %.6f %.6f\n", intersection[0], intersection[1], intersection[2]);
  std::printf("inliers: %zu within 0.01\n", inliers);
  std::printf("time: %.2f ms\n", milliseconds);
  if (query.image) std::printf("image: %s\n", query.image->c_str());
  return 0;
}

int RunDepth(const std::vector<std::string>& words) {
  const Arguments arguments =
      CommandArguments(words, {"--help"}, {"--intrinsics", "--uv", "--transform", "--image"});
  if (arguments.Has("--help")) {
    std::fputs(kDepthHelp, stdout);
    return 0;
  }
  const std::array<float, 2> uv = ParseUv(arguments.Required("--uv"), "--uv");
  CloudQuery query = ParseCloudQuery(arguments);
  CloudRecord cloud(query.points, 0.0);
  float point[3] = {0, 0, 0};
  int found = 0;
  const auto start = Clock::now();
  const SolvoErrorType status = SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
      cloud.get(), &query.intrinsics, query.transform.data(), uv.data(), point, &found);
  const double milliseconds = MillisecondsSince(start);
  CheckStatus(status, "looking up the depth");
  if (query.image) {
    PictureMarks marks;
    marks.query = {double(uv[0]) * query.intrinsics.width, double(uv[1]) * query.intrinsics.height};
    WriteDepthPicture(query.points, query.transform.data(), query.intrinsics, marks, *query.image);
  }
  std::printf("points: %zu\n", query.points.size());
  std::printf("found: %s\n", found ? "yes" : "no");
  std::printf("point: %.6f %.6f %.6f\n", point[0], point[1], point[2]);
  std::printf("time: %.3f ms\n", milliseconds);
  if (query.image) std::printf("image: %s\n", query.image->c_str());
  return 0;
}

}  // namespace solvo_cli
