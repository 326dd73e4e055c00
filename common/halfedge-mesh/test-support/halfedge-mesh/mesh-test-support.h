// Test and benchmark support: mesh arrays, generated closed meshes and an invariant check.
#ifndef HALFEDGE_MESH_MESH_TEST_SUPPORT_H_
#define HALFEDGE_MESH_MESH_TEST_SUPPORT_H_

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "halfedge-mesh/halfedge-mesh.h"

namespace halfedge_mesh {

// Removes single elements, as an edit would, so that tests can set up what compaction meets.
struct ElementAccess {
  static void Remove(Vertex* vertex);
  static void Remove(Halfedge* halfedge);
  static void Remove(Face* face);
  static void SetOutHalfedge(Vertex* vertex, const std::shared_ptr<Halfedge>& halfedge);
  static void ClearOpposite(Halfedge* halfedge);
};

// The flat arrays of a mesh record; empty normals or colours mean "absent".
struct MeshArrays {
  std::vector<std::array<float, 3>> vertices;
  std::vector<std::array<uint32_t, 3>> faces;
  std::vector<std::array<float, 3>> normals;
  std::vector<std::array<uint8_t, 4>> colors;
};

std::shared_ptr<HalfedgeMesh> BuildMesh(const MeshArrays& arrays);
MeshArrays ExportMesh(const HalfedgeMesh& mesh, bool with_normals = false,
                      bool with_colors = false);

// A closed tetrahedron, outward winding.
MeshArrays Tetrahedron();
// A closed torus of rings x segments quads, two triangles each.
MeshArrays TorusGrid(uint32_t rings, uint32_t segments);
// A closed unit sphere: the icosahedron with every triangle split in four `subdivisions` times.
MeshArrays Icosphere(int subdivisions);

// Describes the first broken invariant of a compacted mesh, or returns "" when all hold: closed
// three-edge face loops, mutual opposites, edges linked both ways, out_halfedge_ leaving its
// vertex, ids equal to positions, every element valid, boundary flags matching the fans.
std::string CheckInvariants(const HalfedgeMesh& mesh);

// V - E + F of the valid elements.
int64_t EulerCharacteristic(const HalfedgeMesh& mesh);

}  // namespace halfedge_mesh

#endif  // HALFEDGE_MESH_MESH_TEST_SUPPORT_H_
