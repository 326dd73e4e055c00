// Building a half-edge mesh from triangle arrays, with consistent orientation and repair.
#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "halfedge-mesh/halfedge-mesh.h"
#include "logging/log-statement.h"

namespace halfedge_mesh {

namespace {

// One ordered map per vertex, from a vertex id to a value, kept in a single flat array: every
// vertex gets a fixed segment, sized in advance, whose entries stay sorted by key. Construction
// knows how many keys each vertex can receive, and this is far smaller and faster than a
// node-based map per vertex.
template <typename Value>
class SegmentedMap {
 public:
  explicit SegmentedMap(const std::vector<uint32_t>& capacities)
      : begin_(capacities.size() + 1), size_(capacities.size(), 0) {
    size_t total = 0;
    for (size_t owner = 0; owner < capacities.size(); ++owner) {
      begin_[owner] = total;
      total += capacities[owner];
    }
    begin_[capacities.size()] = total;
    entries_.resize(total);
  }

  size_t size() const { return size_.size(); }

  const Value* Find(uint32_t owner, uint32_t key) const {
    const Entry* first = entries_.data() + begin_[owner];
    const Entry* last = first + size_[owner];
    const Entry* it = LowerBound(first, last, key);
    return it != last && it->key == key ? &it->value : nullptr;
  }

  // The value under `key`, inserted value-initialised when missing.
  Value& FindOrInsert(uint32_t owner, uint32_t key) {
    Entry* first = entries_.data() + begin_[owner];
    Entry* last = first + size_[owner];
    Entry* it = LowerBound(first, last, key);
    if (it != last && it->key == key) return it->value;
    ENSURE(begin_[owner] + size_[owner] < begin_[owner + 1]) << "(a vertex segment is full)";
    std::move_backward(it, last, last + 1);
    ++size_[owner];
    *it = Entry{key, Value{}};
    return it->value;
  }

  // Calls visit(key, value) in ascending key order.
  template <typename Visit>
  void ForEach(uint32_t owner, Visit&& visit) const {
    const Entry* first = entries_.data() + begin_[owner];
    for (const Entry* it = first; it != first + size_[owner]; ++it) visit(it->key, it->value);
  }

 private:
  struct Entry {
    uint32_t key;
    Value value;
  };

  template <typename EntryPtr>
  static EntryPtr LowerBound(EntryPtr first, EntryPtr last, uint32_t key) {
    return std::lower_bound(first, last, key,
                            [](const Entry& entry, uint32_t k) { return entry.key < k; });
  }

  std::vector<size_t> begin_;
  std::vector<uint32_t> size_;
  std::vector<Entry> entries_;
};

// A face takes part in construction when its corners are three distinct existing vertices.
bool HasValidIndices(const std::array<uint32_t, 3>& ids, uint32_t n_vertices) {
  return ids[0] < n_vertices && ids[1] < n_vertices && ids[2] < n_vertices;
}
bool HasDistinctIndices(const std::array<uint32_t, 3>& ids) {
  return ids[0] != ids[1] && ids[1] != ids[2] && ids[2] != ids[0];
}

// The faces found so far on one undirected edge; a third one ends the neighbour search.
struct EdgeFaces {
  uint32_t count;
  uint32_t faces[3];
};

}  // namespace

// Per vertex: end-vertex id (ascending) -> id of the half-edge running there.
class HalfedgeMesh::HalfedgeMap : public SegmentedMap<uint32_t> {
 public:
  using SegmentedMap<uint32_t>::SegmentedMap;
};

// Per vertex: the ids of the half-edges leaving it, in creation order.
class HalfedgeMesh::VertexOutHalfedges {
 public:
  explicit VertexOutHalfedges(const std::vector<uint32_t>& capacities)
      : begin_(capacities.size() + 1), size_(capacities.size(), 0) {
    size_t total = 0;
    for (size_t vertex_id = 0; vertex_id < capacities.size(); ++vertex_id) {
      begin_[vertex_id] = total;
      total += capacities[vertex_id];
    }
    begin_[capacities.size()] = total;
    halfedge_ids_.resize(total);
  }

  size_t size() const { return size_.size(); }
  void Append(uint32_t vertex_id, uint32_t halfedge_id) {
    ENSURE(begin_[vertex_id] + size_[vertex_id] < begin_[vertex_id + 1])
        << "(a vertex segment is full)";
    halfedge_ids_[begin_[vertex_id] + size_[vertex_id]++] = halfedge_id;
  }
  const uint32_t* begin(uint32_t vertex_id) const {
    return halfedge_ids_.data() + begin_[vertex_id];
  }
  const uint32_t* end(uint32_t vertex_id) const { return begin(vertex_id) + size_[vertex_id]; }

 private:
  std::vector<size_t> begin_;
  std::vector<uint32_t> size_;
  std::vector<uint32_t> halfedge_ids_;
};

// The faces sharing an edge with one face. The search stops as soon as a face has a fourth.
struct HalfedgeMesh::FaceNeighbors {
  void push_back(uint32_t face_id) { face_ids[count++] = face_id; }
  uint32_t size() const { return count; }

  uint32_t count = 0;
  uint32_t face_ids[4] = {};
};

void HalfedgeMesh::BuildFromArrays(const float (*vertices)[3], const uint32_t (*faces)[3],
                                   const float (*normals)[3], const uint8_t (*colors)[4],
                                   uint32_t num_vertices, uint32_t num_faces) {
  Clear();
  if (num_faces == 0 || num_vertices == 0) return;

  vertices_.resize(num_vertices);
  for (uint32_t j = 0; j < num_vertices; ++j) {
    std::shared_ptr<Vertex> vertex =
        MakeElement<Vertex>(j, Eigen::Vector3d(vertices[j][0], vertices[j][1], vertices[j][2]));
    if (colors != nullptr) {
      std::copy(colors[j], colors[j] + 4, vertex->color_.begin());
    }
    if (normals != nullptr) {
      vertex->normal_ = Eigen::Vector3d(normals[j][0], normals[j][1], normals[j][2]);
    }
    vertices_[j] = std::move(vertex);
  }

  // The caller's array is never changed: flips happen on this copy.
  std::vector<FaceVertexIds> face_vertex_ids(num_faces);
  faces_.resize(num_faces);
  for (uint32_t i = 0; i < num_faces; ++i) {
    faces_[i] = MakeElement<Face>(i);
    face_vertex_ids[i] = {faces[i][0], faces[i][1], faces[i][2]};
  }

  BuildConnectivity(face_vertex_ids);
  ComputeBoundingBox();
  ComputeFaceNormals();
}

void HalfedgeMesh::BuildConnectivity(const std::vector<FaceVertexIds>& face_vertex_ids) {
  if (NVertices() == 0 || NFaces() == 0) return;
  halfedges_.clear();
  halfedges_.reserve(size_t{3} * NFaces());

  // Each face that can be added, flipped or not, gives every one of its corners one outgoing
  // half-edge: that bounds the keys of every vertex's map.
  std::vector<uint32_t> corner_counts(NVertices(), 0);
  for (const FaceVertexIds& ids : face_vertex_ids) {
    if (!HasValidIndices(ids, NVertices()) || !HasDistinctIndices(ids)) continue;
    for (uint32_t vertex_id : ids) ++corner_counts[vertex_id];
  }
  HalfedgeMap vecmap_halfedges(corner_counts);
  VertexOutHalfedges vec_vertex_out_halfedges(corner_counts);
  std::vector<FaceNeighbors> vec_face_face_neighbors;
  std::vector<uint8_t> is_face_queued(NFaces(), 0);
  // Every face is queued at most once: a vector with a read position is the FIFO queue.
  std::vector<uint32_t> queue;
  queue.reserve(NFaces());
  size_t queue_front = 0;

  // After a non-manifold report the neighbour lists are incomplete; construction goes on.
  ComputeFaceFaceNeighbors(face_vertex_ids, &vec_face_face_neighbors);

  uint32_t lowest_unqueued = 0;
  for (;;) {
    while (lowest_unqueued < NFaces() && is_face_queued[lowest_unqueued]) ++lowest_unqueued;
    if (lowest_unqueued == NFaces()) break;
    {
      const uint32_t face_id = lowest_unqueued;
      const std::shared_ptr<Face>& face = faces_[face_id];
      ENSURE(face->face_id_ == face_id);
      queue.push_back(face_id);
      is_face_queued[face_id] = 1;
    }

    while (queue_front < queue.size()) {
      const std::shared_ptr<Face>& face = faces_[queue[queue_front++]];
      ENSURE(face);
      const uint32_t face_id = face->face_id_;
      ENSURE(faces_[face_id] == face);
      ENSURE(is_face_queued[face_id]);

      FaceVertexIds ids = face_vertex_ids[face_id];
      if (!HasValidIndices(ids, NVertices())) {
        LOG_WARNING() << "Wrong vertex index (Face ID = " << face_id << "). Deleted.";
        face->valid_ = false;
        continue;
      }
      // A corner used twice would give a half-edge from a vertex to itself, its own opposite.
      if (!HasDistinctIndices(ids)) {
        LOG_WARNING() << "Degenerate face (Face ID = " << face_id << "). Deleted.";
        face->valid_ = false;
        continue;
      }
      if (!CanAddFace(ids, vecmap_halfedges)) {
        std::swap(ids[0], ids[2]);
        if (!CanAddFace(ids, vecmap_halfedges)) {
          face->valid_ = false;
          continue;
        }
      }
      AddFaceHalfedges(face, ids, &vecmap_halfedges, &vec_vertex_out_halfedges);

      const FaceNeighbors& neighbors = vec_face_face_neighbors[face_id];
      for (uint32_t k = 0; k < neighbors.size(); ++k) {
        const uint32_t n_face_id = neighbors.face_ids[k];
        ENSURE(n_face_id < NFaces());
        if (!is_face_queued[n_face_id]) {
          queue.push_back(n_face_id);
          is_face_queued[n_face_id] = 1;
        }
      }
    }
  }

  BuildEdges(&vecmap_halfedges);
  SetupVertexOutHalfedges(vec_vertex_out_halfedges);
  RemoveInvalidElements();
}

bool HalfedgeMesh::ComputeFaceFaceNeighbors(
    const std::vector<FaceVertexIds>& face_vertex_ids,
    std::vector<FaceNeighbors>* vec_face_face_neighbors) const {
  ENSURE_NOT_NULL(vec_face_face_neighbors);
  std::vector<uint32_t> lower_end_counts(NVertices(), 0);
  for (const FaceVertexIds& ids : face_vertex_ids) {
    if (!HasValidIndices(ids, NVertices()) || !HasDistinctIndices(ids)) continue;
    for (uint32_t i = 0; i < kTriangleN; ++i) {
      ++lower_end_counts[std::min(ids[i], ids[(i + 1) % kTriangleN])];
    }
  }
  // Per lower end vertex: upper end vertex -> the faces on that edge.
  SegmentedMap<EdgeFaces> edge_faces(lower_end_counts);
  std::vector<FaceNeighbors>& neighbors = *vec_face_face_neighbors;
  neighbors.assign(NFaces(), FaceNeighbors{});

  auto report_face = [&](uint32_t id) {
    LOG_WARNING() << "Non-manifold mesh (Face ID = " << id << ").";
    LOG_WARNING() << " - Neighbor face IDs: ";
    for (uint32_t k = 0; k < neighbors[id].size(); ++k) {
      LOG_WARNING() << neighbors[id].face_ids[k] << " ";
    }
  };

  for (uint32_t face_id = 0; face_id < NFaces(); ++face_id) {
    const std::shared_ptr<Face>& face = faces_[face_id];
    ENSURE(face);
    ENSURE(face->face_id_ == face_id);
    const FaceVertexIds& ids = face_vertex_ids[face_id];
    // Faces the breadth-first walk will delete take no part.
    if (!HasValidIndices(ids, NVertices()) || !HasDistinctIndices(ids)) continue;
    for (uint32_t i = 0; i < kTriangleN; ++i) {
      const uint32_t a = ids[i];
      const uint32_t b = ids[(i + 1) % kTriangleN];
      const uint32_t lo = std::min(a, b);
      const uint32_t hi = std::max(a, b);
      EdgeFaces& on_edge = edge_faces.FindOrInsert(lo, hi);
      for (uint32_t k = 0; k < on_edge.count; ++k) {
        const uint32_t f = on_edge.faces[k];
        neighbors[face_id].push_back(f);
        neighbors[f].push_back(face_id);
        if (neighbors[face_id].size() > 3) {
          report_face(face_id);
          return false;
        }
        if (neighbors[f].size() > 3) {
          report_face(f);
          return false;
        }
      }
      on_edge.faces[on_edge.count++] = face_id;
      if (on_edge.count > 2) {
        LOG_WARNING() << "Non-manifold mesh "
                      << "(Edge (Vertex ID, Vertex ID) = (" << lo << ", " << hi << ")).";
        LOG_WARNING() << " - Neighbor face IDs: ";
        for (uint32_t k = 0; k < on_edge.count; ++k) LOG_WARNING() << on_edge.faces[k] << " ";
        return false;
      }
    }
  }
  return true;
}

bool HalfedgeMesh::CanAddFace(const FaceVertexIds& ids, const HalfedgeMap& vecmap_halfedges) const {
  for (uint32_t i = 0; i < kTriangleN; ++i) {
    if (vecmap_halfedges.Find(ids[i], ids[(i + 1) % kTriangleN]) != nullptr) return false;
  }
  return true;
}

void HalfedgeMesh::AddFaceHalfedges(const std::shared_ptr<Face>& face, const FaceVertexIds& ids,
                                    HalfedgeMap* vecmap_halfedges,
                                    VertexOutHalfedges* vec_vertex_out_halfedges) {
  ENSURE_NOT_NULL(vecmap_halfedges);
  ENSURE_NOT_NULL(vec_vertex_out_halfedges);
  ENSURE((*vec_vertex_out_halfedges).size() == NVertices());
  ENSURE(face);
  const uint32_t first_id = NHalfedges();
  for (uint32_t i = 0; i < kTriangleN; ++i) {
    const uint32_t from_vertex_id = ids[i];
    const std::shared_ptr<Vertex>& from_vertex = vertices_[from_vertex_id];
    ENSURE(from_vertex);
    ENSURE(from_vertex->vertex_id_ == from_vertex_id);
    const uint32_t to_vertex_id = ids[(i + 1) % kTriangleN];
    const std::shared_ptr<Vertex>& to_vertex = vertices_[to_vertex_id];
    ENSURE(to_vertex);
    ENSURE(to_vertex->vertex_id_ == to_vertex_id);
    const uint32_t halfedge_id = NHalfedges();
    halfedges_.push_back(MakeElement<Halfedge>(halfedge_id, from_vertex, to_vertex, face));
    vecmap_halfedges->FindOrInsert(from_vertex_id, to_vertex_id) = halfedge_id;
    vec_vertex_out_halfedges->Append(from_vertex_id, halfedge_id);
  }
  face->adjacent_halfedge_ = halfedges_[first_id];
  ENSURE(face->adjacent_halfedge_);
  for (uint32_t i = 0; i < kTriangleN; ++i) {
    Halfedge& halfedge = *halfedges_[first_id + i];
    halfedge.prev_halfedge_ = halfedges_[first_id + (i + 2) % kTriangleN];
    halfedge.next_halfedge_ = halfedges_[first_id + (i + 1) % kTriangleN];
  }
}

void HalfedgeMesh::BuildEdges(const HalfedgeMap* vecmap_halfedges) {
  ENSURE_NOT_NULL(vecmap_halfedges);
  edges_.clear();
  // Never more edges than half-edges.
  edges_.reserve(halfedges_.size());
  for (uint32_t v = 0; v < NVertices(); ++v) {
    vecmap_halfedges->ForEach(v, [&](uint32_t w, uint32_t halfedge_id) {
      const std::shared_ptr<Halfedge>& halfedge = halfedges_[halfedge_id];
      const uint32_t* opposite_id = vecmap_halfedges->Find(w, v);
      if (opposite_id == nullptr) {
        std::shared_ptr<Edge> edge = MakeElement<Edge>(NEdges(), halfedge, nullptr);
        halfedge->edge_ = edge;
        edges_.push_back(std::move(edge));
        return;
      }
      const std::shared_ptr<Halfedge>& opposite_halfedge = halfedges_[*opposite_id];
      // The edge was made from the other side already.
      if (opposite_halfedge->edge_) return;
      halfedge->opposite_halfedge_ = opposite_halfedge;
      opposite_halfedge->opposite_halfedge_ = halfedge;
      ENSURE(halfedge->from_vertex_ == opposite_halfedge->to_vertex_);
      ENSURE(halfedge->to_vertex_ == opposite_halfedge->from_vertex_);
      std::shared_ptr<Edge> edge = MakeElement<Edge>(NEdges(), halfedge, opposite_halfedge);
      halfedge->edge_ = edge;
      opposite_halfedge->edge_ = edge;
      edges_.push_back(std::move(edge));
    });
  }
}

void HalfedgeMesh::SetupVertexOutHalfedges(const VertexOutHalfedges& vec_vertex_out_halfedges) {
  ENSURE(vec_vertex_out_halfedges.size() == NVertices());
  const uint32_t n = static_cast<uint32_t>(vec_vertex_out_halfedges.size());
  // The work list W of a vertex is its list of outgoing half-edges with the ones already placed
  // in a fan struck out; each half-edge is in exactly one list, so one mark per half-edge does.
  std::vector<uint8_t> in_work_list(NHalfedges(), 0);
  std::vector<Edge*> fan_edges;
  for (uint32_t vertex_id = 0; vertex_id < n; ++vertex_id) {
    // A copy: splitting appends to vertices_.
    const std::shared_ptr<Vertex> vertex = GetVertex(vertex_id);
    ENSURE(vertex);
    const uint32_t* first = vec_vertex_out_halfedges.begin(vertex_id);
    const uint32_t* last = vec_vertex_out_halfedges.end(vertex_id);
    if (first == last) {
      // Used by no kept face: dropped by the compaction that follows.
      vertex->out_halfedge_.reset();
      vertex->valid_ = false;
      continue;
    }
    for (const uint32_t* it = first; it != last; ++it) in_work_list[*it] = 1;
    size_t remaining = static_cast<size_t>(last - first);
    const uint32_t* cursor = first;
    for (;;) {
      while (!in_work_list[*cursor]) ++cursor;
      vertex->out_halfedge_ = halfedges_[*cursor];
      ENSURE(vertex->out_halfedge_);
      in_work_list[*cursor] = 0;
      --remaining;
      UpdateVertexOutHalfedge(vertex);
      ForEachVertexOutHalfedge(vertex, [&](const std::shared_ptr<Halfedge>& halfedge) {
        if (in_work_list[halfedge->halfedge_id_]) {
          in_work_list[halfedge->halfedge_id_] = 0;
          --remaining;
        }
      });
      if (remaining == 0) break;

      // Another fan meets here: the one just walked moves to a new vertex.
      std::shared_ptr<Vertex> new_vertex = MakeElement<Vertex>(*vertex);
      new_vertex->vertex_id_ = NVertices();
      ENSURE(new_vertex->out_halfedge_);
      vertices_.push_back(new_vertex);
      fan_edges.clear();
      ForEachVertexEdge(
          vertex, [&](const std::shared_ptr<Edge>& edge) { fan_edges.push_back(edge.get()); });
      for (auto it = fan_edges.begin(); it != fan_edges.end(); ++it) {
        ENSURE(*it);
        for (const std::shared_ptr<Halfedge>& halfedge : (*it)->halfedge_) {
          if (!halfedge) continue;
          if (halfedge->from_vertex_ == vertex) halfedge->from_vertex_ = new_vertex;
          if (halfedge->to_vertex_ == vertex) halfedge->to_vertex_ = new_vertex;
        }
      }
    }
  }
}

}  // namespace halfedge_mesh
