// solvo-support driven through its command line, as a user runs it: files in, files and report
// out, one error line and a status for every mistake.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

struct Outcome {
  int status;
  std::string out, err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream contents;
  contents << file.rdbuf();
  return contents.str();
}

class SolvoSupportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "solvo-support-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  // `text` with every "@" standing for the test's folder.
  std::string Fill(std::string text) const {
    for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, dir_);
    return text;
  }

  // `shell` runs first in the same shell (a file-size limit); a `stdout_path` takes standard
  // output instead of the file read back into Outcome::out.
  Outcome Solvo(const std::string& arguments, const std::string& shell = "",
                const std::string& stdout_path = "") const {
    const std::string out = stdout_path.empty() ? Path("stdout") : stdout_path;
    const std::string command = shell + std::string(SOLVO_SUPPORT_RUNNER) + " '" +
                                SOLVO_SUPPORT_PROGRAM + "' " + arguments + " >'" + out + "' 2>'" +
                                Path("stderr") + "'";
    std::remove(Path("stdout").c_str());
    const int raw = std::system(command.c_str());
    const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return {status, ReadFile(Path("stdout")), ReadFile(Path("stderr"))};
  }

  void Write(const std::string& name, const std::string& contents) const {
    std::ofstream(Path(name), std::ios::binary) << contents;
  }

  std::string dir_;
};

// ---- Meshes through each format -----------------------------------------------------------

// One corner of the test mesh with everything a file may carry, rounded for comparison.
using Corner = std::tuple<std::array<long, 3>, std::array<long, 3>, std::array<int, 4>>;

struct ParsedMesh {
  std::vector<Corner> vertices;
  std::vector<std::array<uint32_t, 3>> faces;
};

// An octahedron whose vertices differ in normal and colour: every channel value a rounding slip
// could change (0, 1, 254, 255, odd middles) occurs.
const double kOctahedron[6][3] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                                  {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
const int kColors[6][4] = {{255, 0, 1, 255},   {254, 77, 128, 255}, {10, 20, 30, 255},
                           {1, 255, 199, 255}, {33, 66, 99, 255},   {128, 127, 3, 255}};
const uint32_t kOctahedronFaces[8][3] = {{0, 2, 4}, {2, 1, 4}, {1, 3, 4}, {3, 0, 4},
                                         {2, 0, 5}, {1, 2, 5}, {3, 1, 5}, {0, 3, 5}};

std::string OctahedronPly(bool normals, bool colors) {
  std::ostringstream ply;
  ply << "ply\nformat ascii 1.0\nelement vertex 6\nproperty float x\nproperty float y\n"
         "property float z\n";
  if (normals) ply << "property float nx\nproperty float ny\nproperty float nz\n";
  if (colors)
    ply << "property uchar red\nproperty uchar green\nproperty uchar blue\nproperty uchar alpha\n";
  ply << "element face 8\nproperty list uchar int vertex_indices\nend_header\n";
  for (int v = 0; v < 6; ++v) {
    const double* p = kOctahedron[v];
    ply << p[0] * 0.25 << ' ' << p[1] * 0.5 << ' ' << p[2] * 0.75;
    // Normals pointing outwards but not along the position, so a lost normal cannot pass as one
    // recomputed from the faces.
    if (normals)
      ply << ' ' << p[0] * 0.6 + p[1] * 0.8 << ' ' << p[1] * 0.6 - p[2] * 0.8 << ' ' << p[2];
    for (int c = 0; colors && c < 4; ++c) ply << ' ' << kColors[v][c];
    ply << '\n';
  }
  for (const auto& f : kOctahedronFaces) ply << "3 " << f[0] << ' ' << f[1] << ' ' << f[2] << '\n';
  return ply.str();
}

long Rounded(double value) { return std::lround(value * 10000.0); }

// Reads an ASCII PLY as the program writes it: vertex properties in the header's order.
ParsedMesh ParsePly(const std::string& text) {
  std::istringstream in(text);
  std::string line, word;
  size_t n_vertices = 0, n_faces = 0;
  std::vector<std::string> properties;
  bool in_vertex = false;
  while (std::getline(in, line) && line != "end_header") {
    std::istringstream words(line);
    words >> word;
    if (word == "element") {
      std::string kind;
      words >> kind >> (kind == "vertex" ? n_vertices : n_faces);
      in_vertex = kind == "vertex";
    } else if (word == "property" && in_vertex) {
      std::string type, name;
      words >> type >> name;
      properties.push_back(name);
    }
  }
  ParsedMesh mesh;
  for (size_t v = 0; v < n_vertices; ++v) {
    std::map<std::string, double> values;
    for (const std::string& name : properties) in >> values[name];
    mesh.vertices.push_back(
        {{Rounded(values["x"]), Rounded(values["y"]), Rounded(values["z"])},
         {Rounded(values["nx"]), Rounded(values["ny"]), Rounded(values["nz"])},
         {int(values["red"]), int(values["green"]), int(values["blue"]), int(values["alpha"])}});
  }
  for (size_t f = 0; f < n_faces; ++f) {
    int count;
    std::array<uint32_t, 3> face;
    in >> count >> face[0] >> face[1] >> face[2];
    mesh.faces.push_back(face);
  }
  return mesh;
}

// Faces as their corners, each started at its smallest corner: equal for two files exactly when
// they hold the same triangles with the same orientation, whatever the vertex order.
std::vector<std::array<Corner, 3>> FacesByCorners(const ParsedMesh& mesh) {
  std::vector<std::array<Corner, 3>> faces;
  for (const auto& f : mesh.faces) {
    std::array<Corner, 3> corners{mesh.vertices.at(f[0]), mesh.vertices.at(f[1]),
                                  mesh.vertices.at(f[2])};
    std::rotate(corners.begin(), std::min_element(corners.begin(), corners.end()), corners.end());
    faces.push_back(corners);
  }
  std::sort(faces.begin(), faces.end());
  return faces;
}

TEST_F(SolvoSupportTest, PlyObjPlyRoundTripKeepsCountsNormalsColoursAndFaces) {
  Write("in.ply", OctahedronPly(true, true));
  const Outcome to_obj =
      Solvo("simplify " + Path("in.ply") + " " + Path("mesh.obj") + " --faces 8");
  ASSERT_EQ(to_obj.status, 0) << to_obj.err;
  EXPECT_EQ(to_obj.out.substr(0, to_obj.out.find('(')),
            "input:  6 vertices, 8 faces, normals, colours ");
  const Outcome back =
      Solvo("simplify " + Path("mesh.obj") + " " + Path("back.ply") + " --faces 8");
  ASSERT_EQ(back.status, 0) << back.err;
  EXPECT_THAT(back.out, HasSubstr("output: 6 vertices, 8 faces"));
  const ParsedMesh original = ParsePly(ReadFile(Path("in.ply")));
  const ParsedMesh round_trip = ParsePly(ReadFile(Path("back.ply")));
  EXPECT_EQ(round_trip.vertices.size(), 6u);
  EXPECT_EQ(FacesByCorners(round_trip), FacesByCorners(original));
}

TEST_F(SolvoSupportTest, OffKeepsColoursOrNormalsAndSaysWhichItDropped) {
  Write("colours.ply", OctahedronPly(false, true));
  Write("normals.ply", OctahedronPly(true, false));
  Write("both.ply", OctahedronPly(true, true));
  for (const std::string name : {"colours", "normals"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(
        Solvo("simplify " + Path(name + ".ply") + " " + Path(name + ".off") + " --faces 8").status,
        0);
    const Outcome back =
        Solvo("simplify " + Path(name + ".off") + " " + Path(name + "-back.ply") + " --faces 8");
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(FacesByCorners(ParsePly(ReadFile(Path(name + "-back.ply")))),
              FacesByCorners(ParsePly(ReadFile(Path(name + ".ply")))));
  }
  const Outcome both =
      Solvo("simplify " + Path("both.ply") + " " + Path("both.off") + " --faces 8");
  ASSERT_EQ(both.status, 0);
  EXPECT_EQ(both.err,
            "solvo-support: note: OFF keeps either normals or colours: the normals were "
            "not written to '" +
                Path("both.off") + "'\n");
  ASSERT_EQ(
      Solvo("simplify " + Path("both.off") + " " + Path("both-back.ply") + " --faces 8").status, 0);
  EXPECT_EQ(FacesByCorners(ParsePly(ReadFile(Path("both-back.ply")))),
            FacesByCorners(ParsePly(ReadFile(Path("colours.ply")))));
}

TEST_F(SolvoSupportTest, ReadsPolygonsGroupsAndIntegerColoursAsOtherProgramsWriteThem) {
  // Two objects in one OBJ file, one of them a quad: four triangles over eight vertices.
  Write("groups.obj",
        "o first\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n"
        "o second\nv 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\nf 5 6 7\nf 5 7 8\n");
  const Outcome groups =
      Solvo("simplify " + Path("groups.obj") + " " + Path("groups.ply") + " --faces 4");
  ASSERT_EQ(groups.status, 0) << groups.err;
  EXPECT_THAT(groups.out, StartsWith("input:  8 vertices, 4 faces ("));
  // OFF colours as integers from 0 to 255, the other convention of the format.
  Write("bytes.off",
        "COFF\n3 1 0\n0 0 0 255 128 0 255\n1 0 0 1 2 3 255\n0 1 0 0 0 254 128\n3 0 1 2\n");
  ASSERT_EQ(Solvo("simplify " + Path("bytes.off") + " " + Path("bytes.ply") + " --faces 1").status,
            0);
  std::vector<std::array<int, 4>> colours;
  for (const Corner& corner : ParsePly(ReadFile(Path("bytes.ply"))).vertices) {
    colours.push_back(std::get<2>(corner));
  }
  std::sort(colours.begin(), colours.end());
  EXPECT_EQ(colours, (std::vector<std::array<int, 4>>{
                         {0, 0, 254, 128}, {1, 2, 3, 255}, {255, 128, 0, 255}}));
}

TEST_F(SolvoSupportTest, SimplifiesTheShippedBunnyToTheAskedShare) {
  const Outcome run = Solvo(std::string("simplify ") + SOLVO_SUPPORT_DATA_DIR + "/bunny.ply " +
                            Path("small.obj") + " --faces 10%");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_THAT(run.out, StartsWith("input:  1839 vertices, 3674 faces ("));
  unsigned vertices = 0, faces = 0;
  ASSERT_EQ(std::sscanf(run.out.substr(run.out.find("output:")).c_str(),
                        "output: %u vertices, %u faces", &vertices, &faces),
            2);
  EXPECT_LE(faces, 367u);
  EXPECT_GT(faces, 300u);
  EXPECT_THAT(run.out, HasSubstr("time:"));
  EXPECT_EQ(
      Solvo("simplify " + Path("small.obj") + " " + Path("same.off") + " --faces 100000 --quiet")
          .out,
      "");
}

// ---- Errors: one line on standard error, a status, never a crash --------------------------

struct ErrorCase {
  std::string arguments;  // "@" stands for the test's folder
  int status;
  std::string line;  // the whole error line, "@" for the folder
};

TEST_F(SolvoSupportTest, EveryMistakeEndsInOneLineAndItsStatus) {
  Write("garbage.ply", "this is no mesh\n");
  Write("bad.txt", "0 0 1\n0 zero 1\n");
  Write("empty.ply", "");
  // A binary PLY whose colours are declared as bytes but stored as floats: the mesh-file
  // library's reader stops on it with an internal assertion.
  std::string broken =
      "ply\nformat binary_little_endian 1.0\nelement vertex 4\nproperty float x\n"
      "property float y\nproperty float z\nproperty uchar red\nproperty uchar green\n"
      "property uchar blue\nproperty uchar alpha\nelement face 2\n"
      "property list uchar int vertex_index\nend_header\n";
  for (int v = 0; v < 4; ++v) {
    const float values[7] = {float(v & 1), float(v >> 1), 0, 0.25f, 0.5f, 0.75f, 1};
    broken.append(reinterpret_cast<const char*>(values), sizeof values);
  }
  const unsigned char faces[26] = {3, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0,
                                   3, 0, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
  broken.append(reinterpret_cast<const char*>(faces), sizeof faces);
  Write("broken.ply", broken);
  Write("cloud.txt", "0 0 1\n");
  const std::string camera = " --intrinsics 520,520,320,240,640,480";
  const std::string see_simplify = " (see 'solvo-support simplify --help')";
  const std::string see_plane = " (see 'solvo-support plane --help')";
  const std::vector<ErrorCase> cases = {
      {"", 2, "solvo-support: missing command (try 'solvo-support --help')"},
      {"smooth x", 2, "solvo-support: unknown command 'smooth' (try 'solvo-support --help')"},
      {"simplify @/none.ply @/o.ply --faces 5", 1,
       "solvo-support simplify: cannot read '@/none.ply': No such file or directory"},
      {"simplify @/garbage.ply @/o.ply --faces 5", 1,
       "solvo-support simplify: cannot read '@/garbage.ply': Invalid .ply file: Incorrect magic "
       "number (expected 'ply' or 'PLY')."},
      {"simplify @/empty.ply @/o.ply --faces 5", 1,
       "solvo-support simplify: cannot read '@/empty.ply': the file is empty"},
      {"simplify @/broken.ply @/o.ply --faces 5", 1,
       "solvo-support simplify: cannot read '@/broken.ply': the file is malformed (the mesh "
       "reader gave up on it)"},
      {"simplify @/none.ply @/o.ply --faces 5x", 2,
       "solvo-support simplify: bad --faces '5x': expected a whole number from 1" + see_simplify},
      {"simplify @/none.ply @/o.ply --faces 0", 2,
       "solvo-support simplify: bad --faces '0': expected a whole number from 1" + see_simplify},
      {"simplify @/none.ply @/o.ply --faces 4294967296", 2,
       "solvo-support simplify: bad --faces '4294967296': expected a whole number from 1" +
           see_simplify},
      {"simplify @/none.ply @/o.ply --faces 0%", 2,
       "solvo-support simplify: bad --faces '0%': expected a percentage above 0 and up to 100" +
           see_simplify},
      {"simplify @/none.ply @/o.ply", 2, "solvo-support simplify: missing --faces" + see_simplify},
      {"simplify @/none.ply --faces 5", 2,
       "solvo-support simplify: missing arguments: expected IN OUT" + see_simplify},
      {"simplify @/none.ply @/o.ply --faces 5 --fast", 2,
       "solvo-support simplify: unknown option --fast" + see_simplify},
      {"simplify @/none.ply @/o.stl --faces 5", 2,
       "solvo-support simplify: cannot write '@/o.stl': unknown mesh format '.stl' (use .ply, "
       ".obj or .off)" +
           see_simplify},
      {"simplify @/none.ply @/o.ply --faces", 2,
       "solvo-support simplify: --faces needs a value" + see_simplify},
      {"plane @/cloud.txt --touch 0.5" + camera, 2,
       "solvo-support plane: bad --touch '0.5': expected 2 numbers" + see_plane},
      {"plane @/cloud.txt --touch nan,0.5" + camera, 2,
       "solvo-support plane: bad --touch 'nan,0.5': expected 2 numbers" + see_plane},
      {"plane @/cloud.txt --touch 0.5,0.5 --intrinsics 520,520,320,240,640", 2,
       "solvo-support plane: bad --intrinsics '520,520,320,240,640': expected 6 numbers" +
           see_plane},
      {"plane @/cloud.txt --touch 0.5,0.5 --intrinsics 0,520,320,240,640,480", 2,
       "solvo-support plane: bad --intrinsics '0,520,320,240,640,480': the focal lengths fx, fy "
       "must be above 0" +
           see_plane},
      {"plane @/cloud.txt --touch 0.5,0.5 --intrinsics 520,520,320,240,640.5,480", 2,
       "solvo-support plane: bad --intrinsics '520,520,320,240,640.5,480': width and height must "
       "be whole numbers from 1 to 16384" +
           see_plane},
      {"plane @/cloud.txt --touch 0.5,0.5 --transform 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0" + camera, 2,
       "solvo-support plane: bad --transform '1,0,0,0,0,1,0,0,0,0,1,0,0,0,0': expected 16 numbers" +
           see_plane},
      {"plane @/cloud.txt --touch 0.5,0.5 --transform 1,0,0,0,0,1,0,0,0,0,1,0,0,0,5,0" + camera, 2,
       "solvo-support plane: bad --transform: the last row (4th, 8th, 12th, 16th numbers) must be "
       "0 0 0 1" +
           see_plane},
      {"plane @/cloud.txt --touch 0.5,0.5" + camera, 1,
       "solvo-support plane: the cloud holds 1 point; a plane needs at least 3"},
      {"plane @/bad.txt --touch 0.5,0.5" + camera, 1,
       "solvo-support plane: cannot read '@/bad.txt': line 2 is not 'x y z' (use a .ply file or "
       "text with three numbers a line)"},
      {"depth @/cloud.txt --uv 0.5,0.5 --image @/no-such-folder/p.png" + camera, 1,
       "solvo-support depth: cannot write '@/no-such-folder/p.png': No such file or directory"},
      // Output paths are refused before any work: the input need not even exist.
      {"simplify @/none.ply @ --faces 10%", 1,
       "solvo-support simplify: cannot write '@': it is a directory"},
      {"simplify @/none.ply @/ --faces 10%", 1,
       "solvo-support simplify: cannot write '@/': it is a directory"},
      {"depth @/none.txt --uv 0.5,0.5 --image @/p.jpg" + camera, 2,
       "solvo-support depth: cannot write '@/p.jpg': only PNG pictures are written (use .png) (see "
       "'solvo-support depth --help')"},
      {"plane @/none.txt --touch 0.5,0.5 --image @" + camera, 1,
       "solvo-support plane: cannot write '@': it is a directory"},
      {"plane @/cloud.txt --touch 0.5,0.5 --seed -1" + camera, 2,
       "solvo-support plane: bad --seed '-1': expected a whole number from 0 to 2147483647" +
           see_plane},
      {"demo --seed 2147483648 --out @/demo", 2,
       "solvo-support demo: bad --seed '2147483648': expected a whole number from 0 to "
       "2147483647 (see 'solvo-support demo --help')"},
      {"demo --mesh @/none.ply --out @/demo", 1,
       "solvo-support demo: cannot read '@/none.ply': No such file or directory"},
      {"demo --out @/cloud.txt", 1,
       "solvo-support demo: cannot use '@/cloud.txt' as the output folder: it is not a folder"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Outcome run = Solvo(Fill(c.arguments));
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err, Fill(c.line) + "\n");
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(SolvoSupportTest, HelpIsAvailableForTheProgramAndEveryCommand) {
  EXPECT_THAT(Solvo("--help").out, StartsWith("usage: solvo-support COMMAND"));
  for (const std::string command : {"simplify", "plane", "depth", "demo"}) {
    SCOPED_TRACE(command);
    const Outcome run = Solvo(command + " --help");
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.out, StartsWith("usage: solvo-support " + command));
    EXPECT_EQ(run.err, "");
  }
}

// ---- Depth clouds ---------------------------------------------------------------------------

// A level floor `height` below the camera (y down), seen from z = 1 to 8 metres.
std::string FloorCloud(double height) {
  std::ostringstream text;
  text << "# x y z\n";
  for (int i = 0; i <= 80; ++i) {
    for (int k = 0; k <= 140; ++k)
      text << -2.0 + 0.05 * i << ' ' << height << ' ' << 1.0 + 0.05 * k << '\n';
  }
  return text.str();
}

std::vector<double> NumbersAfter(const std::string& out, const std::string& label, size_t count) {
  const size_t at = out.find(label);
  if (at == std::string::npos) return {};
  std::istringstream in(out.substr(at + label.size()));
  std::vector<double> numbers(count);
  for (double& n : numbers) in >> n;
  return numbers;
}

TEST_F(SolvoSupportTest, PlaneFindsAGeneratedFloorAndTheTouchedPoint) {
  Write("floor.txt", FloorCloud(1.5));
  const Outcome run = Solvo("plane " + Path("floor.txt") +
                            " --intrinsics 520,520,320,240,640,480 --touch 0.5,0.75");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<double> plane = NumbersAfter(run.out, "plane:", 4);
  ASSERT_EQ(plane.size(), 4u);
  EXPECT_NEAR(plane[0], 0.0, 1e-5);
  EXPECT_NEAR(plane[1], -1.0, 1e-5);
  EXPECT_NEAR(plane[2], 0.0, 1e-5);
  EXPECT_NEAR(plane[3], 1.5, 1e-5);
  // The ray through pixel (320, 360) meets the floor 1.5 * 520 / 120 = 6.5 m ahead.
  const std::vector<double> point = NumbersAfter(run.out, "touched point:", 3);
  EXPECT_NEAR(point[0], 0.0, 1e-4);
  EXPECT_NEAR(point[1], 1.5, 1e-4);
  EXPECT_NEAR(point[2], 6.5, 1e-3);
  EXPECT_THAT(run.out, HasSubstr("inliers: 11421 within 0.01"));
}

TEST_F(SolvoSupportTest, PlaneAnswersInThePointCloudsFrameUnderATransform) {
  // The cloud's frame sits 0.5 m below the camera's (column-major: translation 13th to 15th).
  Write("floor.txt", FloorCloud(1.0));
  const Outcome run = Solvo("plane " + Path("floor.txt") +
                            " --intrinsics 520,520,320,240,640,480 --touch 0.5,0.75"
                            " --transform 1,0,0,0,0,1,0,0,0,0,1,0,0,0.5,0,1 --image " +
                            Path("p.png"));
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<double> plane = NumbersAfter(run.out, "plane:", 4);
  EXPECT_NEAR(plane[1], -1.0, 1e-5);
  EXPECT_NEAR(plane[3], 1.0, 1e-5);
  EXPECT_NEAR(NumbersAfter(run.out, "touched point:", 3)[1], 1.0, 1e-4);
  // A PNG of the colour camera's size.
  const std::string png = ReadFile(Path("p.png"));
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
  const auto be32 = [&](size_t at) {
    return (uint32_t(uint8_t(png[at])) << 24) | (uint32_t(uint8_t(png[at + 1])) << 16) |
           (uint32_t(uint8_t(png[at + 2])) << 8) | uint32_t(uint8_t(png[at + 3]));
  };
  EXPECT_EQ(be32(16), 640u);
  EXPECT_EQ(be32(20), 480u);
}

TEST_F(SolvoSupportTest, PlaneWithNothingNearTheTouchFailsWithItsReason) {
  Write("floor.txt", FloorCloud(1.5));
  const Outcome run = Solvo("plane " + Path("floor.txt") +
                            " --intrinsics 520,520,320,240,640,480 --touch 0.5,0.05");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "solvo-support plane: no plane found under the touch at pixel (320, 24) among 11421 "
            "points: insufficient depth points near click location\n");
}

// The floor with up to 15 mm of noise from a fixed sequence, more than the fit's 1 cm threshold:
// each RANSAC sample keeps other inliers, so the plane found changes from run to run unless the
// seed is fixed.
std::string NoisyFloorCloud(double height) {
  std::ostringstream text;
  uint32_t state = 99;
  for (int i = 0; i <= 80; ++i) {
    for (int k = 0; k <= 140; ++k) {
      state = state * 1664525u + 1013904223u;
      const double noise = (double(state >> 8) / 16777216.0 - 0.5) * 0.03;
      text << -2.0 + 0.05 * i << ' ' << height + noise << ' ' << 1.0 + 0.05 * k << '\n';
    }
  }
  return text.str();
}

// The report without its timing lines.
std::string WithoutTimes(const std::string& out) {
  std::istringstream in(out);
  std::string kept, line;
  while (std::getline(in, line)) {
    if (line.find(" ms") == std::string::npos && line.find("time") == std::string::npos) {
      kept += line + "\n";
    }
  }
  return kept;
}

TEST_F(SolvoSupportTest, PlaneWithASeedGivesTheSameAnswerEveryRun) {
  Write("floor.txt", NoisyFloorCloud(1.5));
  const std::string arguments =
      "plane " + Path("floor.txt") + " --intrinsics 520,520,320,240,640,480 --touch 0.5,0.75";
  const Outcome first = Solvo(arguments + " --seed 12");
  const Outcome second = Solvo(arguments + " --seed=12");
  ASSERT_EQ(first.status, 0) << first.err;
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_THAT(first.out, HasSubstr("plane: "));
  EXPECT_EQ(WithoutTimes(first.out), WithoutTimes(second.out));
}

TEST_F(SolvoSupportTest, DemoWithASeedFindsTheSamePlaneEveryRun) {
  Write("octahedron.ply", OctahedronPly(false, false));
  const std::string arguments = "demo --mesh " + Path("octahedron.ply") + " --seed 5 --out ";
  const Outcome first = Solvo(arguments + Path("first"));
  const Outcome second = Solvo(arguments + Path("second"));
  ASSERT_EQ(first.status, 0) << first.err;
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_THAT(first.out,
              HasSubstr("3. plane under a touch on the floor at pixel (160, 408), seed 5"));
  const auto plane_lines = [](const std::string& out) {
    const size_t at = out.find("   plane ");
    return out.substr(at, out.find(" in ", at) - at) + out.substr(out.find("   true floor"), 60);
  };
  EXPECT_EQ(plane_lines(first.out), plane_lines(second.out));
}

TEST_F(SolvoSupportTest, VerboseShowsTheLibrarysLinesAndTheReportCountsItsWarnings) {
  // The third face uses vertex 0 twice: the library drops it with a warning.
  Write("strip.off", "OFF\n4 3 0\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n3 0 1 2\n3 1 3 2\n3 0 0 3\n");
  const std::string arguments =
      "simplify " + Path("strip.off") + " " + Path("o.off") + " --faces 1";
  const Outcome quiet = Solvo(arguments);
  ASSERT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_THAT(quiet.out,
              HasSubstr("library warnings: 1 line about the input (--verbose shows them)"));
  EXPECT_EQ(quiet.err, "");
  const Outcome verbose = Solvo(arguments + " --verbose");
  ASSERT_EQ(verbose.status, 0) << verbose.err;
  EXPECT_THAT(verbose.out, HasSubstr("library warnings: 1 line about the input"));
  EXPECT_THAT(verbose.err, ::testing::MatchesRegex(
                               "W/solvo: halfedge-mesh-construction\\.cc:[0-9]+ Degenerate face "
                               "\\(Face ID = 2\\)\\. Deleted\\.\n"));
  // Errors are still one line of the program's own, with the library's words in it.
  Write("floor.txt", FloorCloud(1.5));
  const Outcome failed = Solvo("plane " + Path("floor.txt") +
                               " --intrinsics 520,520,320,240,640,480 --touch 0.5,0.05 --verbose");
  EXPECT_EQ(failed.status, 1);
  EXPECT_THAT(failed.err, HasSubstr("E/solvo: "));
  EXPECT_THAT(failed.err, EndsWith("solvo-support plane: no plane found under the touch at pixel "
                                   "(320, 24) among 11421 points: insufficient depth points near "
                                   "click location\n"));
}

TEST_F(SolvoSupportTest, DepthReportsTheLiftedPointOrThatThereIsNone) {
  Write("floor.txt", FloorCloud(1.5));
  const Outcome hit =
      Solvo("depth " + Path("floor.txt") + " --intrinsics 520,520,320,240,640,480 --uv 0.5,0.75");
  ASSERT_EQ(hit.status, 0) << hit.err;
  EXPECT_THAT(hit.out, HasSubstr("found: yes"));
  const std::vector<double> point = NumbersAfter(hit.out, "point:", 3);
  EXPECT_NEAR(point[0], 0.0, 1e-6);
  EXPECT_NEAR(point[2], 6.5, 0.05);
  EXPECT_NEAR(point[1], point[2] * 120.0 / 520.0, 1e-4);  // on the queried pixel's ray
  const Outcome sky =
      Solvo("depth " + Path("floor.txt") + " --intrinsics 520,520,320,240,640,480 --uv 0.5,0.2");
  EXPECT_EQ(sky.status, 0);
  EXPECT_THAT(sky.out, HasSubstr("found: no\npoint: 0.000000 0.000000 0.000000\n"));
}

// ---- Writes that fail ----------------------------------------------------------------------

bool IsLinkTo(const std::string& link, const std::string& target) {
  char text[256];
  const ssize_t length = ::readlink(link.c_str(), text, sizeof text);
  return length > 0 && std::string(text, static_cast<size_t>(length)) == target;
}

TEST_F(SolvoSupportTest, AWriteThatFailsIsOneLineAndNothingClaimsSuccess) {
  Write("in.ply", OctahedronPly(true, true));
  Write("floor.txt", FloorCloud(1.5));
  const std::string camera = " --intrinsics 520,520,320,240,640,480";
  const std::vector<std::pair<std::string, std::string>> writes = {
      {"full.ply", "simplify @/in.ply @/full.ply --faces 8"},
      {"full.obj", "simplify @/in.ply @/full.obj --faces 8"},
      {"full.off", "simplify @/in.ply @/full.off --faces 8"},
      {"full.png", "plane @/floor.txt --touch 0.5,0.75 --image @/full.png" + camera},
      {"full.png", "depth @/floor.txt --uv 0.5,0.75 --image @/full.png" + camera},
  };
  for (const auto& [name, arguments] : writes) {
    SCOPED_TRACE(arguments);
    std::remove(Path(name).c_str());
    ASSERT_EQ(::symlink("/dev/full", Path(name).c_str()), 0);
    const Outcome run = Solvo(Fill(arguments));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "solvo-support " + arguments.substr(0, arguments.find(' ')) +
                           ": cannot write '" + Path(name) + "': No space left on device\n");
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(IsLinkTo(Path(name), "/dev/full"));  // the device is not removed in its place
  }
}

TEST_F(SolvoSupportTest, AFailedWriteRemovesTheFileItCreatedButNoneThatExistedBefore) {
  // Beyond a file-size limit of 2 KiB (4 blocks of 512 or 1024 bytes, by the shell) a write
  // fails with EFBIG: a write to a regular file that fails part of the way.
  const std::string limit = "ulimit -f 4; ";
  const std::string bunny = std::string(SOLVO_SUPPORT_DATA_DIR) + "/bunny.ply";
  const Outcome created =
      Solvo("simplify " + bunny + " " + Path("new.ply") + " --faces 10%", limit);
  EXPECT_EQ(created.status, 1);
  EXPECT_EQ(created.err,
            "solvo-support simplify: cannot write '" + Path("new.ply") + "': File too large\n");
  EXPECT_EQ(created.out, "");
  struct stat info;
  EXPECT_NE(::stat(Path("new.ply").c_str(), &info), 0);

  Write("old.ply", "what the user had\n");
  const Outcome existing =
      Solvo("simplify " + bunny + " " + Path("old.ply") + " --faces 10%", limit);
  EXPECT_EQ(existing.status, 1);
  EXPECT_EQ(existing.err,
            "solvo-support simplify: cannot write '" + Path("old.ply") + "': File too large\n");
  EXPECT_EQ(::stat(Path("old.ply").c_str(), &info), 0);
}

TEST_F(SolvoSupportTest, AReportThatCannotBeWrittenIsNoSuccess) {
  Write("in.ply", OctahedronPly(false, false));
  const Outcome run =
      Solvo("simplify " + Path("in.ply") + " " + Path("out.ply") + " --faces 8", "", "/dev/full");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "solvo-support simplify: cannot write standard output: No space left on device\n");
}

// ---- The demo -------------------------------------------------------------------------------

TEST_F(SolvoSupportTest, DemoOnAnotherMeshNamesItsFilesAndReportAfterIt) {
  Write("octahedron.ply", OctahedronPly(false, false));
  const Outcome run = Solvo("demo --mesh " + Path("octahedron.ply") + " --out " + Path("demo"));
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("\n   wrote " + Path("demo/octahedron-simplified.ply") + "\n"));
  EXPECT_THAT(run.out, HasSubstr("camera at the octahedron on a floor"));
  EXPECT_THAT(run.out, HasSubstr("\n4. depth under a pixel on the octahedron\n"));
  EXPECT_THAT(run.out, HasSubstr("simplify " + Path("octahedron.ply") + " octahedron-1000.obj"));
  EXPECT_THAT(run.out, Not(HasSubstr("bunny")));
  EXPECT_THAT(run.out, HasSubstr("all 7 steps done"));
  EXPECT_FALSE(ReadFile(Path("demo/octahedron-simplified.ply")).empty());
}

TEST_F(SolvoSupportTest, DemoReportsAFileItCouldNotWriteAndFails) {
  Write("octahedron.ply", OctahedronPly(false, false));
  ASSERT_EQ(::mkdir(Path("demo").c_str(), 0777), 0);
  ASSERT_EQ(::symlink("/dev/full", Path("demo/depth-picture.png").c_str()), 0);
  const Outcome run = Solvo("demo --mesh " + Path("octahedron.ply") + " --out " + Path("demo"));
  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.out, HasSubstr("\n   FAILED: cannot write '" + Path("demo/depth-picture.png") +
                                 "': No space left on device\n"));
  EXPECT_THAT(run.out, EndsWith("\nfiles written:\n  " + Path("demo/octahedron-simplified.ply") +
                                "\n  " + Path("demo/depth-frame.ply") + "\n"));
  EXPECT_EQ(run.err, "solvo-support demo: 1 of 7 steps failed\n");
  EXPECT_TRUE(IsLinkTo(Path("demo/depth-picture.png"), "/dev/full"));
}

TEST_F(SolvoSupportTest, DemoRunsEveryStepAndWritesItsFiles) {
  const Outcome run = Solvo("demo --out " + Path("demo"));
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("all 7 steps done"));
  EXPECT_THAT(run.out, HasSubstr("307200 points"));
  for (const std::string file : {"bunny-simplified.ply", "depth-frame.ply", "depth-picture.png"}) {
    EXPECT_THAT(run.out, HasSubstr("  " + Path("demo/" + file) + "\n"));
    EXPECT_GT(ReadFile(Path("demo/" + file)).size(), 1000u) << file;
  }
  // The frame it wrote is a cloud the plane command reads, with the floor under the same touch.
  const Outcome plane = Solvo("plane " + Path("demo/depth-frame.ply") +
                              " --intrinsics 525,525,319.5,239.5,640,480 --touch 0.25,0.85");
  EXPECT_EQ(plane.status, 0) << plane.err;
  EXPECT_THAT(plane.out, HasSubstr("points: 307200"));
}

}  // namespace
