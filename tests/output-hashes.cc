// Hashes of what the exported functions write for a fixed set of calls, to show that a change
// which only moves or restructures code keeps every result and status bit for bit.
//
//   solvo_output_hashes [MESH_DIR]
//
// prints one line per family: its name, a 64-bit FNV-1a hash of every status and output byte in
// call order, and how many calls gave each status. Run it before and after a change; the lines must
// be equal. MESH_DIR, when given, holds the scanned meshes of the simplification benchmark
// (armadillo.off, bunny00.off, elephant.off, ChineseDragon-10kv.off; scripts/bench.sh unpacks
// them into build/bench/meshes); every one missing there is named on standard error. The plane
// fits run with the random generator's seed fixed through the tuning flags.
#include <gflags/gflags.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "solvo_client_api.h"
#include "solvo_support_api.h"

namespace {

class Hash {
 public:
  void Add(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (size_t k = 0; k < size; ++k) value_ = (value_ ^ bytes[k]) * 0x100000001b3ull;
  }
  template <typename T>
  void Add(const T& value) {
    Add(&value, sizeof value);
  }
  void Call(SolvoErrorType status) {
    Add(static_cast<int32_t>(status));
    ++statuses_[status == SOLVO_STATUS_OK ? 0 : status == SOLVO_STATUS_FAILED ? 1 : 2];
  }
  void Print(const char* family) const {
    std::printf("%-24s %016llx  %4d ok %4d failed %4d refused\n", family,
                static_cast<unsigned long long>(value_), statuses_[0], statuses_[1], statuses_[2]);
  }

 private:
  uint64_t value_ = 0xcbf29ce484222325ull;
  int statuses_[3] = {0, 0, 0};
};

// A fixed sequence of numbers in [0, 1), the same on every platform.
class Sequence {
 public:
  explicit Sequence(uint64_t seed) : state_(seed) {}
  double Next() {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(state_ >> 11) * 0x1p-53;
  }

 private:
  uint64_t state_;
};

// The library's flags live in the process's one flag registry.
void SetFlag(const char* name, const std::string& value) {
  if (gflags::SetCommandLineOption(name, value.c_str()).empty()) {
    std::fprintf(stderr, "cannot set the flag %s\n", name);
    std::exit(1);
  }
}

SolvoCameraIntrinsics Intrinsics() {
  SolvoCameraIntrinsics intrinsics{};
  intrinsics.width = 640;
  intrinsics.height = 480;
  intrinsics.fx = 525.0;
  intrinsics.fy = 525.0;
  intrinsics.cx = 319.5;
  intrinsics.cy = 239.5;
  return intrinsics;
}

// A 640 x 480 depth frame: a floor 1.2 m below the camera, a tilted wall behind it and a box on
// the floor, with millimetre noise, a few points missing (NaN), infinite or behind the camera.
std::vector<float> DepthFrame(uint64_t seed) {
  Sequence noise(seed);
  std::vector<float> xyz;
  const SolvoCameraIntrinsics k = Intrinsics();
  for (uint32_t row = 0; row < k.height; ++row) {
    for (uint32_t column = 0; column < k.width; ++column) {
      const double x_n = (column - k.cx) / k.fx;
      const double y_n = (row - k.cy) / k.fy;
      double depth = 3.0 - 0.4 * x_n;                      // the wall
      if (y_n > 0.0) depth = std::fmin(depth, 1.2 / y_n);  // the floor
      if (std::fabs(x_n) < 0.15 && y_n > 0.1 && y_n < 0.35) depth = std::fmin(depth, 2.0);
      depth += 0.002 * (noise.Next() - 0.5);
      const double pick = noise.Next();
      float p[3] = {static_cast<float>(x_n * depth), static_cast<float>(y_n * depth),
                    static_cast<float>(depth)};
      if (pick < 0.001) p[2] = std::numeric_limits<float>::quiet_NaN();
      if (pick > 0.9995) p[0] = std::numeric_limits<float>::infinity();
      if (pick > 0.499 && pick < 0.4995) p[2] = -p[2];
      xyz.insert(xyz.end(), p, p + 3);
    }
  }
  return xyz;
}

SolvoXYZij Cloud(std::vector<float>* xyz, uint32_t first, uint32_t count) {
  SolvoXYZij cloud{};
  cloud.timestamp = 12.5;
  cloud.point_count = count;
  cloud.xyz = reinterpret_cast<float(*)[3]>(xyz->data() + 3 * size_t{first});
  return cloud;
}

// color_camera_T_point_cloud: the identity, a small rotation with a shift, and a turn about z.
std::vector<std::array<double, 16>> Transforms() {
  const double c = std::cos(0.05), s = std::sin(0.05);
  return {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
          {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0.03, -0.01, 0.02, 1},
          {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, -0.02, 0.015, 0.0, 1}};
}

SolvoPoseData Pose(double qx, double qy, double qz, double qw, double tx, double ty, double tz) {
  SolvoPoseData pose{};
  const double n = std::sqrt(qx * qx + qy * qy + qz * qz + qw * qw);
  pose.orientation[0] = qx / n;
  pose.orientation[1] = qy / n;
  pose.orientation[2] = qz / n;
  pose.orientation[3] = qw / n;
  pose.translation[0] = tx;
  pose.translation[1] = ty;
  pose.translation[2] = tz;
  return pose;
}

void HashDepth(std::vector<float>* frame) {
  Hash hash;
  const SolvoCameraIntrinsics intrinsics = Intrinsics();
  const uint32_t n = static_cast<uint32_t>(frame->size() / 3);
  const SolvoXYZij clouds[] = {Cloud(frame, 0, n), Cloud(frame, 1000, 5000), Cloud(frame, 7, 1)};
  Sequence uvs(3);
  for (const SolvoXYZij& cloud : clouds) {
    for (const auto& transform : Transforms()) {
      for (int query = 0; query < 40; ++query) {
        const float uv[2] = {static_cast<float>(1.2 * uvs.Next() - 0.1),
                             static_cast<float>(1.2 * uvs.Next() - 0.1)};
        float point[3] = {-1, -1, -1};
        int valid = -1;
        hash.Call(SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
            &cloud, &intrinsics, transform.data(), uv, point, &valid));
        hash.Add(point);
        hash.Add(valid);
      }
    }
    const SolvoPoseData pose = Pose(0.01, -0.02, 0.005, 1.0, 0.01, 0.02, -0.03);
    for (int query = 0; query < 20; ++query) {
      const float uv[2] = {static_cast<float>(uvs.Next()), static_cast<float>(uvs.Next())};
      float point[3] = {-1, -1, -1};
      int valid = -1;
      hash.Call(SolvoSupport_getDepthAtPointNearestNeighbor(&cloud, &intrinsics, &pose, uv, point,
                                                            &valid));
      hash.Add(point);
      hash.Add(valid);
    }
  }
  const float uv[2] = {0.5f, 0.5f};
  float point[3];
  SolvoCameraIntrinsics no_focal = intrinsics;
  no_focal.fx = 0.0;
  hash.Call(SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
      &clouds[0], &no_focal, Transforms()[0].data(), uv, point, nullptr));
  hash.Call(SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
      &clouds[0], &intrinsics, Transforms()[0].data(), nullptr, point, nullptr));
  hash.Print("depth");
}

void HashPlanes(std::vector<float>* frame) {
  const SolvoCameraIntrinsics intrinsics = Intrinsics();
  const uint32_t n = static_cast<uint32_t>(frame->size() / 3);
  const SolvoXYZij whole = Cloud(frame, 0, n);
  Sequence uvs(5);
  int32_t seed = 1;
  const auto next_seed = [&seed] { SetFlag("random_generator_seed", std::to_string(seed++)); };

  Hash touch;
  for (const auto& transform : Transforms()) {
    for (int query = 0; query < 25; ++query) {
      next_seed();
      const float uv[2] = {static_cast<float>(uvs.Next()), static_cast<float>(uvs.Next())};
      double point[3] = {-1, -1, -1};
      double plane[4] = {-1, -1, -1, -1};
      touch.Call(SolvoSupport_fitPlaneModelNearClickMatrixTransform(
          &whole, &intrinsics, transform.data(), uv, point, plane));
      touch.Add(point);
      touch.Add(plane);
    }
  }
  const SolvoPoseData pose = Pose(0.02, 0.01, -0.01, 1.0, 0.0, 0.01, 0.0);
  for (int query = 0; query < 10; ++query) {
    next_seed();
    const float uv[2] = {static_cast<float>(uvs.Next()), static_cast<float>(uvs.Next())};
    double point[3] = {-1, -1, -1};
    double plane[4] = {-1, -1, -1, -1};
    touch.Call(SolvoSupport_fitPlaneModelNearClick(&whole, &intrinsics, &pose, uv, point, plane));
    touch.Add(point);
    touch.Add(plane);
  }
  // Touches that find too few points near them, or a transform without an inverse, or are
  // refused.
  const SolvoXYZij few = Cloud(frame, 153600, 200);
  const double flat[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1};
  const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  for (int query = 0; query < 10; ++query) {
    next_seed();
    const float uv[2] = {static_cast<float>(uvs.Next()), static_cast<float>(uvs.Next())};
    double point[3] = {-1, -1, -1};
    double plane[4] = {-1, -1, -1, -1};
    touch.Call(SolvoSupport_fitPlaneModelNearClickMatrixTransform(&few, &intrinsics, identity, uv,
                                                                  point, plane));
    touch.Call(SolvoSupport_fitPlaneModelNearClickMatrixTransform(&whole, &intrinsics, flat, uv,
                                                                  point, plane));
    touch.Add(point);
    touch.Add(plane);
  }
  const float centre[2] = {0.5f, 0.5f};
  double refused_point[3], refused_plane[4];
  touch.Call(SolvoSupport_fitPlaneModelNearClickMatrixTransform(
      nullptr, &intrinsics, identity, centre, refused_point, refused_plane));
  touch.Call(SolvoSupport_fitPlaneModelNearClickMatrixTransform(
      &whole, &intrinsics, identity, nullptr, refused_point, refused_plane));
  touch.Call(SolvoSupport_fitPlaneModelNearClick(&whole, &intrinsics, nullptr, centre,
                                                 refused_point, refused_plane));
  touch.Print("touch");

  Hash ransac;
  const SolvoXYZij clouds[] = {whole, Cloud(frame, 200000, 30000), Cloud(frame, 0, 3),
                               Cloud(frame, 153600, 640)};
  const double thresholds[] = {0.01, 0.002, 0.05};
  for (const SolvoXYZij& cloud : clouds) {
    for (const double threshold : thresholds) {
      for (const int iterations : {1, 50}) {
        next_seed();
        double plane[4] = {-1, -1, -1, -1};
        ransac.Call(SolvoInternalSupport_fitPlaneToPointCloudRANSAC(&cloud, iterations, threshold,
                                                                    0.8, 0.3, plane));
        ransac.Add(plane);
      }
    }
  }
  double unused[4];
  ransac.Call(SolvoInternalSupport_fitPlaneToPointCloudRANSAC(&whole, 5, 0.01, 0.2, 0.3, unused));
  ransac.Call(SolvoInternalSupport_fitPlaneToPointCloudRANSAC(&whole, 5, 0.01, 0.8, 0.3, nullptr));
  ransac.Print("ransac");

  Hash refine;
  const double planes[][4] = {{0, 1, 0, -1.2}, {0, -2, 0, 2.4}, {0.4, 0, 1, -3},
                              {0, 0, 1, -2},   {1, 1, 1, 0},    {0, 0.999, 0.01, -1.19}};
  for (const SolvoXYZij& cloud : clouds) {
    for (const auto& plane_in : planes) {
      for (const double threshold : thresholds) {
        double plane[4] = {-1, -1, -1, -1};
        refine.Call(SolvoInternalSupport_refinePlaneModel(&cloud, plane_in, threshold, plane));
        refine.Add(plane);
      }
    }
  }
  refine.Print("refine");
}

void HashPoses() {
  Hash hash;
  const SolvoPoseData poses[] = {Pose(0, 0, 0, 1, 0, 0, 0), Pose(0.1, 0.2, 0.3, 0.9, 1, -2, 3),
                                 Pose(-0.5, 0.5, 0.5, 0.5, 0.25, 0.5, -0.75)};
  for (const SolvoPoseData& pose : poses) {
    for (const auto convention :
         {SOLVO_CONVENTION_RIGHT_HANDED_Y_UP, SOLVO_CONVENTION_LEFT_HANDED_Y_UP}) {
      double translation[3] = {-1, -1, -1};
      double orientation[4] = {-1, -1, -1, -1};
      hash.Call(SolvoSupport_getWorldTCameraPose(convention, &pose, translation, orientation));
      hash.Add(translation);
      hash.Add(orientation);
    }
  }
  const SolvoCoordinateFrameType frames[] = {SOLVO_FRAME_SENSOR_7, SOLVO_FRAME_SENSOR_8,
                                             SOLVO_FRAME_SENSOR_9};
  for (const auto base : frames) {
    for (const auto target : frames) {
      for (const double t : {0.0, 0.5, 3.25}) {
        SolvoPoseData pose{};
        hash.Call(SolvoSupport_calculateRelativePose(t, base, 2.0 * t + 0.125, target, &pose));
        hash.Add(pose);
      }
    }
  }
  SolvoPoseData pose{};
  hash.Call(SolvoSupport_calculateRelativePose(1.0, SOLVO_FRAME_DEVICE, 1.0, frames[0], &pose));
  hash.Call(SolvoSupport_calculateRelativePose(-1.0, frames[0], 1.0, frames[1], &pose));
  hash.Call(SolvoSupport_getWorldTCameraPose(SOLVO_CONVENTION_LEFT_HANDED_Y_UP, nullptr,
                                             pose.translation, pose.orientation));
  hash.Print("poses");
}

// The torus of the simplification benchmark: rings x segments quads, two triangles each.
void Torus(uint32_t rings, uint32_t segments, std::vector<float>* vertices,
           std::vector<uint32_t>* faces) {
  constexpr double kTwoPi = 6.283185307179586;
  for (uint32_t r = 0; r < rings; ++r) {
    const double u = kTwoPi * r / rings;
    for (uint32_t s = 0; s < segments; ++s) {
      const double v = kTwoPi * s / segments;
      const double radius = 2.0 + 0.7 * std::cos(v);
      vertices->push_back(static_cast<float>(radius * std::cos(u)));
      vertices->push_back(static_cast<float>(radius * std::sin(u)));
      vertices->push_back(static_cast<float>(0.7 * std::sin(v)));
    }
  }
  const auto id = [&](uint32_t r, uint32_t s) { return (r % rings) * segments + (s % segments); };
  for (uint32_t r = 0; r < rings; ++r) {
    for (uint32_t s = 0; s < segments; ++s) {
      for (const uint32_t index :
           {id(r, s), id(r + 1, s), id(r + 1, s + 1), id(r, s), id(r + 1, s + 1), id(r, s + 1)}) {
        faces->push_back(index);
      }
    }
  }
}

bool ReadOff(const std::string& path, std::vector<float>* vertices, std::vector<uint32_t>* faces) {
  std::ifstream file(path);
  std::string text, line;
  while (std::getline(file, line)) text += line.substr(0, line.find('#')) + '\n';
  std::istringstream in(text);
  std::string header;
  size_t n_vertices = 0, n_faces = 0, n_edges = 0;
  if (!(in >> header >> n_vertices >> n_faces >> n_edges) || header != "OFF") return false;
  vertices->resize(3 * n_vertices);
  faces->resize(3 * n_faces);
  for (float& coordinate : *vertices) {
    if (!(in >> coordinate)) return false;
  }
  for (size_t f = 0; f < n_faces; ++f) {
    int corners = 0;
    if (!(in >> corners >> (*faces)[3 * f] >> (*faces)[3 * f + 1] >> (*faces)[3 * f + 2]) ||
        corners != 3) {
      return false;
    }
  }
  return true;
}

// Simplifies to each target and hashes the output record's counts and arrays; with `extras`
// the input carries normals and colours made from its positions.
void HashSimplified(const std::vector<float>& vertices, const std::vector<uint32_t>& faces,
                    bool extras, const std::vector<uint32_t>& per_mille, Hash* hash) {
  const uint32_t n_vertices = static_cast<uint32_t>(vertices.size() / 3);
  const uint32_t n_faces = static_cast<uint32_t>(faces.size() / 3);
  SolvoMesh_Experimental input{};
  hash->Call(SolvoSupport_createMesh(n_vertices, n_faces, extras, extras, &input));
  std::copy(vertices.begin(), vertices.end(), &input.vertices[0][0]);
  std::copy(faces.begin(), faces.end(), &input.faces[0][0]);
  for (uint32_t v = 0; extras && v < n_vertices; ++v) {
    for (int k = 0; k < 3; ++k) {
      input.normals[v][k] = std::sin(vertices[3 * v + k]);
      input.colors[v][k] = static_cast<uint8_t>(v * (k + 3));
    }
    input.colors[v][3] = 255;
  }
  input.num_vertices = n_vertices;
  input.num_faces = n_faces;
  for (const uint32_t share : per_mille) {
    SolvoMesh_Experimental output{};
    hash->Call(SolvoSupport_createSimplifiedMesh(
        &input, static_cast<uint32_t>(uint64_t{n_faces} * share / 1000), &output));
    hash->Add(output.num_vertices);
    hash->Add(output.num_faces);
    hash->Add(output.tag);
    hash->Add(output.has_normals);
    hash->Add(output.has_colors);
    hash->Add(output.vertices, sizeof(float[3]) * output.num_vertices);
    hash->Add(output.faces, sizeof(uint32_t[3]) * output.num_faces);
    if (output.normals != nullptr)
      hash->Add(output.normals, sizeof(float[3]) * output.num_vertices);
    if (output.colors != nullptr)
      hash->Add(output.colors, sizeof(uint8_t[4]) * output.num_vertices);
    SolvoSupport_freeMesh(&output);
  }
  SolvoSupport_freeMesh(&input);
}

void HashMeshes(const char* mesh_dir) {
  Hash hash;
  std::vector<float> vertices;
  std::vector<uint32_t> faces;
  Torus(300, 334, &vertices, &faces);
  HashSimplified(vertices, faces, false, {100, 10}, &hash);
  vertices.clear();
  faces.clear();
  Torus(20, 30, &vertices, &faces);
  HashSimplified(vertices, faces, true, {500, 100, 10, 0}, &hash);
  hash.Print("torus");
  if (mesh_dir == nullptr) return;
  for (const char* name :
       {"armadillo.off", "bunny00.off", "elephant.off", "ChineseDragon-10kv.off"}) {
    Hash scan;
    if (!ReadOff(std::string(mesh_dir) + "/" + name, &vertices, &faces)) {
      std::fprintf(stderr, "no mesh %s in %s\n", name, mesh_dir);
      continue;
    }
    HashSimplified(vertices, faces, false, {100, 10}, &scan);
    scan.Print(name);
  }
}

void HashFrameBuffers(const std::vector<float>& frame) {
  Hash hash;
  SolvoSupportPointCloudManager* clouds = nullptr;
  hash.Call(SolvoSupport_createPointCloudManager(307200, &clouds));
  std::vector<float> copy = frame;
  for (int update = 0; update < 3; ++update) {
    SolvoXYZij cloud = Cloud(&copy, static_cast<uint32_t>(update * 1000), 100000);
    cloud.timestamp = update + 1.0;
    hash.Call(SolvoSupport_updatePointCloud(clouds, &cloud));
    SolvoXYZij* latest = nullptr;
    hash.Call(SolvoSupport_getLatestPointCloud(clouds, &latest));
    hash.Add(latest->timestamp);
    hash.Add(latest->point_count);
    hash.Add(latest->xyz, sizeof(float[3]) * latest->point_count);
  }
  SolvoSupport_freePointCloudManager(clouds);

  SolvoSupportImageBufferManager* images = nullptr;
  hash.Call(
      SolvoSupport_createImageBufferManager(SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP, 64, 48, &images));
  std::vector<uint8_t> pixels(64 * 48 * 3 / 2);
  for (size_t k = 0; k < pixels.size(); ++k) pixels[k] = static_cast<uint8_t>(k * 7);
  SolvoImageBuffer image{};
  image.width = 64;
  image.height = 48;
  image.format = SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP;
  image.data = pixels.data();
  for (int update = 0; update < 3; ++update) {
    image.timestamp = update + 1.0;
    if (update == 1) hash.Call(SolvoSupport_setImageBufferCopyRegion(images, 0, 8, 30));
    pixels[static_cast<size_t>(update) * 700] ^= 0x5a;
    hash.Call(SolvoSupport_updateImageBuffer(images, &image));
    SolvoImageBuffer* latest = nullptr;
    hash.Call(SolvoSupport_getLatestImageBuffer(images, &latest));
    hash.Add(latest->timestamp);
    hash.Add(latest->data, pixels.size());
  }
  SolvoSupport_freeImageBufferManager(images);
  hash.Print("frames");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: %s [MESH_DIR]\n", argv[0]);
    return 2;
  }
  SetFlag("random_generator_use_random_seed", "false");
  std::vector<float> frame = DepthFrame(1);
  HashDepth(&frame);
  HashPlanes(&frame);
  HashPoses();
  HashFrameBuffers(frame);
  HashMeshes(argc == 2 ? argv[1] : nullptr);
  return 0;
}
