// Exported image buffer manager functions.
#include "solvo_support_api.h"

extern "C" {

// TODO(#6): the image buffer manager.
SolvoErrorType SolvoSupport_createImageBufferManager(SolvoImageFormatType, int, int,
                                                     SolvoSupportImageBufferManager**) {
  return SOLVO_STATUS_FAILED;
}

SolvoErrorType SolvoSupport_freeImageBufferManager(SolvoSupportImageBufferManager*) {
  return SOLVO_STATUS_FAILED;
}

SolvoErrorType SolvoSupport_setImageBufferCopyRegion(SolvoSupportImageBufferManager*, int,
                                                     uint32_t, uint32_t) {
  return SOLVO_STATUS_FAILED;
}

SolvoErrorType SolvoSupport_updateImageBuffer(SolvoSupportImageBufferManager*,
                                              const SolvoImageBuffer*) {
  return SOLVO_STATUS_FAILED;
}

SolvoErrorType SolvoSupport_getLatestImageBuffer(SolvoSupportImageBufferManager*,
                                                 SolvoImageBuffer**) {
  return SOLVO_STATUS_FAILED;
}

}  // extern "C"
