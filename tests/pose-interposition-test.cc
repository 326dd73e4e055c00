// A program that defines the service's pose query itself answers the library's queries: the
// library reaches the query through the dynamic linker, never through a private copy.
#include <solvo_support_api.h>

#include <cstdio>

namespace {

int queries_seen = 0;

}  // namespace

// Identity for every pair, except the device at time 2.0, which stands half a metre along x.
extern "C" SolvoErrorType SolvoService_getPoseAtTime(double timestamp,
                                                     SolvoCoordinateFramePair frame,
                                                     SolvoPoseData* pose) {
  ++queries_seen;
  const bool moved = timestamp == 2.0 && frame.base_frame == SOLVO_FRAME_TRACKING_ORIGIN &&
                     frame.target_frame == SOLVO_FRAME_DEVICE;
  for (double& value : pose->orientation) value = 0.0;
  pose->orientation[3] = 1.0;
  pose->translation[0] = moved ? 0.5 : 0.0;
  pose->translation[1] = 0.0;
  pose->translation[2] = 0.0;
  return SOLVO_STATUS_OK;
}

int main() {
  SolvoPoseData result{};
  const SolvoErrorType status = SolvoSupport_calculateRelativePose(1.0, SOLVO_FRAME_SENSOR_7, 2.0,
                                                                   SOLVO_FRAME_SENSOR_7, &result);
  if (status != SOLVO_STATUS_OK || queries_seen != 5 || result.translation[0] != 0.5 ||
      result.translation[1] != 0.0 || result.translation[2] != 0.0 ||
      result.orientation[3] != 1.0) {
    std::fprintf(stderr, "status %d after %d queries of this program, translation %g %g %g\n",
                 status, queries_seen, result.translation[0], result.translation[1],
                 result.translation[2]);
    return 1;
  }
  std::printf("this program answered all %d pose queries\n", queries_seen);
  return 0;
}
