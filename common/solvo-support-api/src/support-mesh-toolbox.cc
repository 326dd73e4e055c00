// Exported mesh record functions and mesh simplification.
#include "solvo_support_api.h"

extern "C" {

// TODO(#7): the mesh records.
SolvoErrorType SolvoSupport_createMesh(uint32_t, uint32_t, bool, bool, SolvoMesh_Experimental*) {
  return SOLVO_STATUS_FAILED;
}

SolvoErrorType SolvoSupport_initializeEmptyMesh(SolvoMesh_Experimental*) {
  return SOLVO_STATUS_FAILED;
}

SolvoErrorType SolvoSupport_copyMesh(const SolvoMesh_Experimental*, SolvoMesh_Experimental*) {
  return SOLVO_STATUS_FAILED;
}

SolvoErrorType SolvoSupport_freeMesh(SolvoMesh_Experimental*) { return SOLVO_STATUS_FAILED; }

// TODO(#8): the simplifier.
SolvoErrorType SolvoSupport_createSimplifiedMesh(const SolvoMesh_Experimental*, uint32_t,
                                                 SolvoMesh_Experimental*) {
  return SOLVO_STATUS_FAILED;
}

}  // extern "C"
