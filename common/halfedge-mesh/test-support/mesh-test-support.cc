// Test and benchmark support: mesh arrays, generated closed meshes and an invariant check.
#include "halfedge-mesh/mesh-test-support.h"

#include <cmath>
#include <map>
#include <sstream>
#include <utility>

namespace halfedge_mesh {

void ElementAccess::Remove(Vertex* vertex) { vertex->valid_ = false; }
void ElementAccess::Remove(Halfedge* halfedge) { halfedge->valid_ = false; }
void ElementAccess::Remove(Face* face) { face->valid_ = false; }
void ElementAccess::SetOutHalfedge(Vertex* vertex, const std::shared_ptr<Halfedge>& halfedge) {
  vertex->out_halfedge_ = halfedge;
}
void ElementAccess::ClearOpposite(Halfedge* halfedge) { halfedge->opposite_halfedge_.reset(); }

std::shared_ptr<HalfedgeMesh> BuildMesh(const MeshArrays& arrays) {
  auto mesh = std::make_shared<HalfedgeMesh>();
  mesh->BuildFromArrays(
      reinterpret_cast<const float(*)[3]>(arrays.vertices.data()),
      reinterpret_cast<const uint32_t(*)[3]>(arrays.faces.data()),
      arrays.normals.empty() ? nullptr : reinterpret_cast<const float(*)[3]>(arrays.normals.data()),
      arrays.colors.empty() ? nullptr : reinterpret_cast<const uint8_t(*)[4]>(arrays.colors.data()),
      static_cast<uint32_t>(arrays.vertices.size()), static_cast<uint32_t>(arrays.faces.size()));
  return mesh;
}

MeshArrays ExportMesh(const HalfedgeMesh& mesh, bool with_normals, bool with_colors) {
  MeshArrays arrays;
  arrays.vertices.resize(mesh.NVertices());
  arrays.faces.resize(mesh.NFaces());
  if (with_normals) arrays.normals.resize(mesh.NVertices());
  if (with_colors) arrays.colors.resize(mesh.NVertices());
  // Never null, even for an empty mesh: the export requires both arrays.
  std::array<float, 3> no_vertex{};
  std::array<uint32_t, 3> no_face{};
  mesh.ExportToArrays(
      reinterpret_cast<float(*)[3]>(arrays.vertices.empty() ? no_vertex.data()
                                                            : arrays.vertices[0].data()),
      reinterpret_cast<uint32_t(*)[3]>(arrays.faces.empty() ? no_face.data()
                                                            : arrays.faces[0].data()),
      with_normals ? reinterpret_cast<float(*)[3]>(arrays.normals.data()) : nullptr,
      with_colors ? reinterpret_cast<uint8_t(*)[4]>(arrays.colors.data()) : nullptr);
  return arrays;
}

MeshArrays Tetrahedron() {
  MeshArrays arrays;
  arrays.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  arrays.faces = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
  return arrays;
}

MeshArrays TorusGrid(uint32_t rings, uint32_t segments) {
  MeshArrays arrays;
  constexpr double kTwoPi = 6.283185307179586;
  for (uint32_t r = 0; r < rings; ++r) {
    const double u = kTwoPi * r / rings;
    for (uint32_t s = 0; s < segments; ++s) {
      const double v = kTwoPi * s / segments;
      const double radius = 2.0 + 0.7 * std::cos(v);
      arrays.vertices.push_back({static_cast<float>(radius * std::cos(u)),
                                 static_cast<float>(radius * std::sin(u)),
                                 static_cast<float>(0.7 * std::sin(v))});
    }
  }
  auto id = [&](uint32_t r, uint32_t s) { return (r % rings) * segments + (s % segments); };
  for (uint32_t r = 0; r < rings; ++r) {
    for (uint32_t s = 0; s < segments; ++s) {
      arrays.faces.push_back({id(r, s), id(r + 1, s), id(r + 1, s + 1)});
      arrays.faces.push_back({id(r, s), id(r + 1, s + 1), id(r, s + 1)});
    }
  }
  return arrays;
}

MeshArrays Icosphere(int subdivisions) {
  const double t = (1.0 + std::sqrt(5.0)) / 2.0;
  std::vector<std::array<double, 3>> points = {{-1, t, 0}, {1, t, 0}, {-1, -t, 0}, {1, -t, 0},
                                               {0, -1, t}, {0, 1, t}, {0, -1, -t}, {0, 1, -t},
                                               {t, 0, -1}, {t, 0, 1}, {-t, 0, -1}, {-t, 0, 1}};
  std::vector<std::array<uint32_t, 3>> faces = {
      {0, 11, 5},  {0, 5, 1},  {0, 1, 7},  {0, 7, 10}, {0, 10, 11}, {1, 5, 9}, {5, 11, 4},
      {11, 10, 2}, {10, 7, 6}, {7, 1, 8},  {3, 9, 4},  {3, 4, 2},   {3, 2, 6}, {3, 6, 8},
      {3, 8, 9},   {4, 9, 5},  {2, 4, 11}, {6, 2, 10}, {8, 6, 7},   {9, 8, 1}};
  auto normalize = [](std::array<double, 3> p) {
    const double n = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    return std::array<double, 3>{p[0] / n, p[1] / n, p[2] / n};
  };
  for (auto& p : points) p = normalize(p);
  for (int level = 0; level < subdivisions; ++level) {
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> midpoints;
    auto midpoint = [&](uint32_t a, uint32_t b) {
      const auto key = std::make_pair(std::min(a, b), std::max(a, b));
      auto it = midpoints.find(key);
      if (it != midpoints.end()) return it->second;
      points.push_back(
          normalize({(points[a][0] + points[b][0]) / 2, (points[a][1] + points[b][1]) / 2,
                     (points[a][2] + points[b][2]) / 2}));
      const uint32_t id = static_cast<uint32_t>(points.size() - 1);
      midpoints.emplace(key, id);
      return id;
    };
    std::vector<std::array<uint32_t, 3>> finer;
    finer.reserve(faces.size() * 4);
    for (const auto& f : faces) {
      const uint32_t ab = midpoint(f[0], f[1]);
      const uint32_t bc = midpoint(f[1], f[2]);
      const uint32_t ca = midpoint(f[2], f[0]);
      finer.push_back({f[0], ab, ca});
      finer.push_back({f[1], bc, ab});
      finer.push_back({f[2], ca, bc});
      finer.push_back({ab, bc, ca});
    }
    faces.swap(finer);
  }
  MeshArrays arrays;
  for (const auto& p : points) {
    arrays.vertices.push_back(
        {static_cast<float>(p[0]), static_cast<float>(p[1]), static_cast<float>(p[2])});
  }
  arrays.faces = std::move(faces);
  return arrays;
}

std::string CheckInvariants(const HalfedgeMesh& mesh) {
  std::ostringstream problem;
  for (uint32_t face_id = 0; face_id < mesh.NFaces(); ++face_id) {
    const std::shared_ptr<Face>& face = mesh.GetFace(face_id);
    if (!face) return "face " + std::to_string(face_id) + " is removed";
    if (!face->adjacent_halfedge()) return "face " + std::to_string(face_id) + " has no loop";
    const Halfedge* h = face->adjacent_halfedge().get();
    int corners = 0;
    do {
      problem << "face " << face_id << " corner " << corners << ": ";
      if (!h->is_valid()) return problem.str() + "removed half-edge";
      if (h->adjacent_face() != face) return problem.str() + "half-edge of another face";
      if (!h->next_halfedge() || !h->prev_halfedge()) return problem.str() + "open loop";
      if (h->next_halfedge()->prev_halfedge().get() != h) return problem.str() + "next/prev";
      if (h->next_halfedge()->from_vertex() != h->to_vertex()) return problem.str() + "gap";
      if (h->from_vertex() == h->to_vertex()) return problem.str() + "half-edge to itself";
      if (mesh.GetVertex(h->from_vertex()->id()) != h->from_vertex()) {
        return problem.str() + "vertex not in the mesh";
      }
      const std::shared_ptr<Halfedge>& o = h->opposite_halfedge();
      if (o && (o->opposite_halfedge().get() != h || o->from_vertex() != h->to_vertex() ||
                o->to_vertex() != h->from_vertex() || o->edge() != h->edge() || !o->is_valid())) {
        return problem.str() + "opposite";
      }
      const std::shared_ptr<Edge>& edge = h->edge();
      if (!edge || mesh.GetEdge(edge->id()) != edge) return problem.str() + "edge";
      if (edge->halfedge(0).get() != h && edge->halfedge(1).get() != h) {
        return problem.str() + "edge does not link back";
      }
      problem.str("");
      h = h->next_halfedge().get();
      ++corners;
    } while (h != face->adjacent_halfedge().get() && corners <= 3);
    if (corners != 3) return "face " + std::to_string(face_id) + " has a loop of another length";
  }
  uint32_t halfedges = 0;
  for (uint32_t edge_id = 0; edge_id < mesh.NEdges(); ++edge_id) {
    const std::shared_ptr<Edge>& edge = mesh.GetEdge(edge_id);
    if (!edge) return "edge " + std::to_string(edge_id) + " is removed";
    for (uint32_t order = 0; order < 2; ++order) {
      const std::shared_ptr<Halfedge>& h = edge->halfedge(order);
      if (!h) continue;
      ++halfedges;
      if (!h->is_valid() || h->edge() != edge) {
        return "edge " + std::to_string(edge_id) + " links a foreign half-edge";
      }
    }
    if (edge->halfedge(0) && edge->halfedge(1) &&
        edge->halfedge(0)->opposite_halfedge() != edge->halfedge(1)) {
      return "edge " + std::to_string(edge_id) + " holds two unpaired half-edges";
    }
  }
  if (halfedges != mesh.NHalfedges() || mesh.NHalfedges() != 3 * mesh.NFaces()) {
    return "half-edge counts disagree";
  }
  for (uint32_t vertex_id = 0; vertex_id < mesh.NVertices(); ++vertex_id) {
    const std::shared_ptr<Vertex>& vertex = mesh.GetVertex(vertex_id);
    if (!vertex) return "vertex " + std::to_string(vertex_id) + " is removed";
    const std::shared_ptr<Halfedge>& out = vertex->out_halfedge();
    if (!out || !out->is_valid() || out->from_vertex() != vertex) {
      return "vertex " + std::to_string(vertex_id) + " has a wrong out_halfedge_";
    }
    if (vertex->is_boundary() != !out->opposite_halfedge()) {
      return "vertex " + std::to_string(vertex_id) + " has a wrong boundary flag";
    }
  }
  return "";
}

int64_t EulerCharacteristic(const HalfedgeMesh& mesh) {
  int64_t v = 0, e = 0, f = 0;
  for (uint32_t i = 0; i < mesh.NVertices(); ++i) {
    if (mesh.GetVertex(i)) ++v;
  }
  for (uint32_t i = 0; i < mesh.NEdges(); ++i) {
    if (mesh.GetEdge(i)) ++e;
  }
  for (uint32_t i = 0; i < mesh.NFaces(); ++i) {
    if (mesh.GetFace(i)) ++f;
  }
  return v - e + f;
}

}  // namespace halfedge_mesh
