// The library's mesh and point cloud records, owned for the length of a scope, filled from files.
#ifndef SOLVO_SUPPORT_TOOL_RECORDS_H_
#define SOLVO_SUPPORT_TOOL_RECORDS_H_

#include <solvo_support_api.h>

#include <string>
#include <vector>

#include "mesh-files.h"

namespace solvo_cli {

// Throws InputError naming `what` when a library call did not return SOLVO_STATUS_OK.
void CheckStatus(SolvoErrorType status, const std::string& what);

// A mesh record whose arrays the library allocated; released with the record.
class MeshRecord {
 public:
  MeshRecord();
  explicit MeshRecord(const MeshData& mesh);
  ~MeshRecord();
  MeshRecord(const MeshRecord&) = delete;
  MeshRecord& operator=(const MeshRecord&) = delete;

  SolvoMesh_Experimental* get() { return &mesh_; }
  const SolvoMesh_Experimental& mesh() const { return mesh_; }
  MeshData ToMeshData() const;

 private:
  SolvoMesh_Experimental mesh_{};
};

// A point cloud record with room for `points`, holding them, stamped `timestamp`.
class CloudRecord {
 public:
  CloudRecord(const std::vector<Vector3f>& points, double timestamp);
  ~CloudRecord();
  CloudRecord(const CloudRecord&) = delete;
  CloudRecord& operator=(const CloudRecord&) = delete;

  SolvoXYZij* get() { return &cloud_; }
  const SolvoXYZij& cloud() const { return cloud_; }

 private:
  SolvoXYZij cloud_{};
};

}  // namespace solvo_cli

#endif  // SOLVO_SUPPORT_TOOL_RECORDS_H_
