// Triangle meshes and point clouds read from and written to files (PLY, OBJ, OFF, text).
#ifndef SOLVO_SUPPORT_TOOL_MESH_FILES_H_
#define SOLVO_SUPPORT_TOOL_MESH_FILES_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace solvo_cli {

using Vector3f = std::array<float, 3>;

// A mesh as the files hold it; `normals` and `colors` are per vertex and empty when absent.
struct MeshData {
  std::vector<Vector3f> vertices;
  std::vector<Vector3f> normals;
  std::vector<std::array<uint8_t, 4>> colors;  // red, green, blue, alpha
  std::vector<std::array<uint32_t, 3>> faces;
};

// Reads any mesh format the mesh-file library knows (PLY, OBJ, OFF among them): all meshes of
// the file with their node transforms applied, polygons split into triangles, points and lines
// dropped. Throws InputError with a one-line reason.
MeshData ReadMesh(const std::string& path);

// Throws InputError when `path` is a directory, UsageError unless WriteMesh knows its extension:
// checked before any work.
void CheckWritableMeshFormat(const std::string& path);

// Writes by the extension of `path`: .ply (ASCII; normals and colours), .obj (normals, colours
// without alpha), .off (normals or colours: NOFF, COFF; with both, the normals are dropped and
// `note` says so). Throws UsageError for another extension, InputError when writing fails.
void WriteMesh(const MeshData& mesh, const std::string& path, std::string* note);

// The points of a PLY file (every vertex, faces or not) or of a text file with one "x y z" per
// line (blank lines and lines starting with '#' skipped; extra columns ignored).
std::vector<Vector3f> ReadPointCloud(const std::string& path);

// The program's hidden command that reads a mesh file for ReadMesh and ReadPointCloud: the reading
// runs in a fresh process of this program (forked and then executed anew, so that it starts with
// one thread: a process forked from one whose other threads hold locks may wait on them forever).
// `argv` after the command: PATH, then "mesh" or "points". The answer goes to standard output.
constexpr char kImportCommand[] = "--import-mesh-file";
int RunImportCommand(int argc, char** argv);

}  // namespace solvo_cli

#endif  // SOLVO_SUPPORT_TOOL_MESH_FILES_H_
