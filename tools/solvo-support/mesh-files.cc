// Triangle meshes and point clouds read from and written to files (PLY, OBJ, OFF, text).
#include "mesh-files.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <assimp/Exporter.hpp>
#include <assimp/Importer.hpp>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "arguments.h"
#include "output-file.h"

namespace solvo_cli {
namespace {

void CheckReadable(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw InputError("cannot read '" + path + "': " + std::strerror(errno));
  if (file.peek() == std::ifstream::traits_type::eof()) {
    throw InputError("cannot read '" + path + "': the file is empty");
  }
}

uint8_t ColorByte(float value, float scale) {
  const float scaled = std::round(value * scale);
  return static_cast<uint8_t>(std::clamp(scaled, 0.0f, 255.0f));
}

// Every mesh of the scene with its node's transform applied, in node order. With `points_only`
// the faces are skipped and every vertex is kept.
MeshData Flatten(const aiScene& scene, bool points_only) {
  bool all_normals = true, all_colors = true;
  float max_color = 0.0f;
  for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
    const aiMesh& mesh = *scene.mMeshes[m];
    all_normals = all_normals && mesh.HasNormals();
    all_colors = all_colors && mesh.HasVertexColors(0);
    for (unsigned v = 0; mesh.HasVertexColors(0) && v < mesh.mNumVertices; ++v) {
      const aiColor4D& c = mesh.mColors[0][v];
      max_color = std::max({max_color, c.r, c.g, c.b, c.a});
    }
  }
  // The library hands colours over as 0..1 for every format but OFF, whose integer colours
  // arrive unscaled; a colour above 1 can only mean the 0..255 convention.
  const float color_scale = max_color > 1.0f ? 1.0f : 255.0f;

  MeshData result;
  struct Pending {
    const aiNode* node;
    aiMatrix4x4 transform;
  };
  std::vector<Pending> stack{{scene.mRootNode, aiMatrix4x4()}};
  while (!stack.empty()) {
    const Pending pending = stack.back();
    stack.pop_back();
    if (pending.node == nullptr) continue;
    const aiMatrix4x4 transform = pending.transform * pending.node->mTransformation;
    const aiMatrix3x3 normal_transform = aiMatrix3x3(transform).Inverse().Transpose();
    const bool identity = transform.IsIdentity();
    for (unsigned i = 0; i < pending.node->mNumMeshes; ++i) {
      if (pending.node->mMeshes[i] >= scene.mNumMeshes) continue;
      const aiMesh& mesh = *scene.mMeshes[pending.node->mMeshes[i]];
      const uint32_t base = static_cast<uint32_t>(result.vertices.size());
      for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
        const aiVector3D p = transform * mesh.mVertices[v];
        result.vertices.push_back({p.x, p.y, p.z});
        if (all_normals) {
          // Normals keep their length: files may carry weighted or unnormalised normals.
          aiVector3D n = mesh.mNormals[v];
          if (!identity && n.SquareLength() > 0.0f) {
            const float length = n.Length();
            n = normal_transform * n;
            n *= length / n.Length();
          }
          result.normals.push_back({n.x, n.y, n.z});
        }
        if (all_colors) {
          const aiColor4D& c = mesh.mColors[0][v];
          result.colors.push_back({ColorByte(c.r, color_scale), ColorByte(c.g, color_scale),
                                   ColorByte(c.b, color_scale), ColorByte(c.a, color_scale)});
        }
      }
      for (unsigned f = 0; !points_only && f < mesh.mNumFaces; ++f) {
        const aiFace& face = mesh.mFaces[f];
        if (face.mNumIndices != 3) continue;  // points and lines are not surface
        if (face.mIndices[0] >= mesh.mNumVertices || face.mIndices[1] >= mesh.mNumVertices ||
            face.mIndices[2] >= mesh.mNumVertices) {
          continue;
        }
        result.faces.push_back(
            {base + face.mIndices[0], base + face.mIndices[1], base + face.mIndices[2]});
      }
    }
    for (unsigned c = 0; c < pending.node->mNumChildren; ++c) {
      stack.push_back({pending.node->mChildren[c], transform});
    }
  }
  return result;
}

template <typename T>
void AppendArray(const std::vector<T>& values, std::string* bytes) {
  const uint64_t count = values.size();
  bytes->append(reinterpret_cast<const char*>(&count), sizeof count);
  if (count > 0) {
    bytes->append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
  }
}

template <typename T>
bool TakeArray(const std::string& bytes, size_t* offset, std::vector<T>* values) {
  uint64_t count = 0;
  if (bytes.size() - *offset < sizeof count) return false;
  std::memcpy(&count, bytes.data() + *offset, sizeof count);
  *offset += sizeof count;
  if (count > (bytes.size() - *offset) / sizeof(T)) return false;
  values->resize(count);
  if (count > 0) std::memcpy(values->data(), bytes.data() + *offset, count * sizeof(T));
  *offset += count * sizeof(T);
  return true;
}

// The answer of a child reading `path`: 'E' and the library's reason, or 'M' and the flattened
// arrays.
std::string ImportReply(const std::string& path, bool points_only) {
  try {
    Assimp::Importer importer;
    const aiScene* scene =
        importer.ReadFile(path, aiProcess_Triangulate | aiProcess_JoinIdenticalVertices);
    if (scene == nullptr) return std::string("E") + importer.GetErrorString();
    const MeshData mesh = Flatten(*scene, points_only);
    std::string reply = "M";
    AppendArray(mesh.vertices, &reply);
    AppendArray(mesh.normals, &reply);
    AppendArray(mesh.colors, &reply);
    AppendArray(mesh.faces, &reply);
    return reply;
  } catch (const std::exception& error) {
    return std::string("E") + error.what();
  }
}

// The exit status of a child that could not become the mesh reader.
constexpr int kNoReader = 127;

// The mesh-file library ends the process through an internal assertion on some malformed files.
// Reading in a child process turns that into an error message instead of a crash. The child is
// this program run anew with kImportCommand (between fork and exec it calls only what is safe
// there), which sends its answer through a pipe.
MeshData ImportIsolated(const std::string& path, bool points_only) {
  CheckReadable(path);
  // Everything the child needs is made before the fork.
  std::string program = "solvo-support";
  std::string command = kImportCommand;
  std::string file = path;
  std::string mode = points_only ? "points" : "mesh";
  char* const child_argv[] = {program.data(), command.data(), file.data(), mode.data(), nullptr};
  int fds[2];
  if (::pipe(fds) != 0) throw InputError("cannot read '" + path + "': " + std::strerror(errno));
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    throw InputError("cannot read '" + path + "': " + std::strerror(errno));
  }
  if (child == 0) {
    ::close(fds[0]);
    if (fds[1] != STDOUT_FILENO) {  // (it is when the program was started without stdout)
      if (::dup2(fds[1], STDOUT_FILENO) < 0) ::_exit(kNoReader);
      ::close(fds[1]);
    }
    const int null_fd = ::open("/dev/null", O_WRONLY);
    if (null_fd >= 0) ::dup2(null_fd, STDERR_FILENO);  // the assertion's own message
    ::execv("/proc/self/exe", child_argv);
    ::_exit(kNoReader);
  }
  ::close(fds[1]);
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  const std::string prefix = "cannot read '" + path + "': ";
  if (WIFEXITED(status) && WEXITSTATUS(status) == kNoReader) {
    throw InputError(prefix + "the mesh reader could not be started");
  }
  const bool exited_cleanly = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!exited_cleanly || bytes.empty()) {
    throw InputError(prefix + "the file is malformed (the mesh reader gave up on it)");
  }
  if (bytes[0] == 'E') {
    std::string reason = bytes.substr(1);
    std::replace(reason.begin(), reason.end(), '\n', ' ');
    while (!reason.empty() && reason.back() == ' ') reason.pop_back();
    throw InputError(prefix + (reason.empty() ? "unreadable format" : reason));
  }
  MeshData mesh;
  size_t offset = 1;
  if (!TakeArray(bytes, &offset, &mesh.vertices) || !TakeArray(bytes, &offset, &mesh.normals) ||
      !TakeArray(bytes, &offset, &mesh.colors) || !TakeArray(bytes, &offset, &mesh.faces)) {
    throw InputError(prefix + "the mesh reader's answer was cut short");
  }
  return mesh;
}

void WriteOff(const MeshData& mesh, const std::string& path, std::string* note) {
  const bool colors = !mesh.colors.empty();
  const bool normals = !mesh.normals.empty() && !colors;
  if (colors && !mesh.normals.empty() && note != nullptr) {
    *note = "OFF keeps either normals or colours: the normals were not written to '" + path + "'";
  }
  std::ostringstream file;
  file.precision(9);
  file << (colors    ? "COFF"
           : normals ? "NOFF"
                     : "OFF")
       << '\n'
       << mesh.vertices.size() << ' ' << mesh.faces.size() << " 0\n";
  for (size_t v = 0; v < mesh.vertices.size(); ++v) {
    const Vector3f& p = mesh.vertices[v];
    file << p[0] << ' ' << p[1] << ' ' << p[2];
    if (normals)
      file << ' ' << mesh.normals[v][0] << ' ' << mesh.normals[v][1] << ' ' << mesh.normals[v][2];
    // Colours as fractions: integer colours are read back unscaled by the mesh-file library.
    for (int c = 0; colors && c < 4; ++c) file << ' ' << mesh.colors[v][c] / 255.0f;
    file << '\n';
  }
  for (const auto& face : mesh.faces)
    file << "3 " << face[0] << ' ' << face[1] << ' ' << face[2] << '\n';
  WriteOutputFile(path, file.str());
}

void WriteWithLibrary(const MeshData& mesh, const std::string& path, const char* format) {
  // The scene owns everything put into it and releases it with its destructor.
  aiScene scene;
  scene.mRootNode = new aiNode();
  scene.mRootNode->mNumMeshes = 1;
  scene.mRootNode->mMeshes = new unsigned[1]{0};
  scene.mNumMaterials = 1;
  scene.mMaterials = new aiMaterial* [1] { new aiMaterial() };
  scene.mNumMeshes = 1;
  scene.mMeshes = new aiMesh* [1] { new aiMesh() };
  aiMesh& out = *scene.mMeshes[0];
  out.mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
  out.mMaterialIndex = 0;
  const unsigned n_vertices = static_cast<unsigned>(mesh.vertices.size());
  out.mNumVertices = n_vertices;
  out.mVertices = new aiVector3D[n_vertices];
  for (unsigned v = 0; v < n_vertices; ++v) {
    out.mVertices[v] = aiVector3D(mesh.vertices[v][0], mesh.vertices[v][1], mesh.vertices[v][2]);
  }
  if (!mesh.normals.empty()) {
    out.mNormals = new aiVector3D[n_vertices];
    for (unsigned v = 0; v < n_vertices; ++v) {
      out.mNormals[v] = aiVector3D(mesh.normals[v][0], mesh.normals[v][1], mesh.normals[v][2]);
    }
  }
  if (!mesh.colors.empty()) {
    out.mColors[0] = new aiColor4D[n_vertices];
    for (unsigned v = 0; v < n_vertices; ++v) {
      const auto& c = mesh.colors[v];
      out.mColors[0][v] = aiColor4D(c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, c[3] / 255.0f);
    }
  }
  out.mNumFaces = static_cast<unsigned>(mesh.faces.size());
  out.mFaces = new aiFace[out.mNumFaces];
  for (unsigned f = 0; f < out.mNumFaces; ++f) {
    out.mFaces[f].mNumIndices = 3;
    out.mFaces[f].mIndices = new unsigned[3]{mesh.faces[f][0], mesh.faces[f][1], mesh.faces[f][2]};
  }
  // Exported to memory and written here: writing to the path itself, the library does not
  // report every failed write.
  Assimp::Exporter exporter;
  const aiExportDataBlob* blob = exporter.ExportToBlob(&scene, format);
  if (blob == nullptr) {
    throw InputError("cannot write '" + path + "': " + exporter.GetErrorString());
  }
  WriteOutputFile(path, std::string_view(static_cast<const char*>(blob->data), blob->size));
}

}  // namespace

int RunImportCommand(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string mode = argv[3];
  if (mode != "mesh" && mode != "points") return 2;
  return WriteAll(STDOUT_FILENO, ImportReply(argv[2], mode == "points")) == 0 ? 0 : 1;
}

MeshData ReadMesh(const std::string& path) {
  MeshData mesh = ImportIsolated(path, /*points_only=*/false);
  if (mesh.faces.empty()) throw InputError("cannot read '" + path + "': it holds no triangles");
  return mesh;
}

void CheckWritableMeshFormat(const std::string& path) {
  CheckNotDirectory(path);
  const std::string extension = LowerExtension(path);
  if (extension != ".ply" && extension != ".obj" && extension != ".off") {
    throw UsageError("cannot write '" + path + "': unknown mesh format '" + extension +
                     "' (use .ply, .obj or .off)");
  }
}

void WriteMesh(const MeshData& mesh, const std::string& path, std::string* note) {
  CheckWritableMeshFormat(path);
  const std::string extension = LowerExtension(path);
  if (extension == ".ply") {
    WriteWithLibrary(mesh, path, "ply");
  } else if (extension == ".obj") {
    // Without a material file beside it: the mesh has no materials to keep.
    WriteWithLibrary(mesh, path, "objnomtl");
  } else {
    WriteOff(mesh, path, note);
  }
}

std::vector<Vector3f> ReadPointCloud(const std::string& path) {
  if (LowerExtension(path) == ".ply") {
    std::vector<Vector3f> points = ImportIsolated(path, /*points_only=*/true).vertices;
    if (points.empty()) throw InputError("cannot read '" + path + "': it holds no points");
    return points;
  }
  CheckReadable(path);
  std::ifstream file(path);
  std::vector<Vector3f> points;
  std::string line;
  for (size_t number = 1; std::getline(file, line); ++number) {
    std::replace(line.begin(), line.end(), ',', ' ');
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    std::istringstream words(line);
    std::string word[3];
    Vector3f point{};
    for (int axis = 0; axis < 3; ++axis) {
      char* end = nullptr;
      words >> word[axis];
      const double value = std::strtod(word[axis].c_str(), &end);
      if (word[axis].empty() || *end != '\0' || !std::isfinite(value)) {
        throw InputError("cannot read '" + path + "': line " + std::to_string(number) +
                         " is not 'x y z' (use a .ply file or text with three numbers a line)");
      }
      point[axis] = static_cast<float>(value);
    }
    points.push_back(point);
  }
  if (file.bad()) throw InputError("cannot read '" + path + "': " + std::strerror(errno));
  if (points.empty()) throw InputError("cannot read '" + path + "': it holds no points");
  return points;
}

}  // namespace solvo_cli
