// Fuzz target: world-to-camera poses and relative poses, with the pose queries answered by the
// input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "fuzz-support.h"
#include "solvo_support_api.h"
#include "test-support/c-application-calls.h"

namespace {

constexpr double kUntouched = 12345.5;  // what the outputs hold before a call

FuzzedDataProvider* answers = nullptr;  // the input the pose queries read their answers from
int queries = 0;
bool answers_tame = true;  // every pose answered so far is a unit quaternion and a tame translation

int PickFrame(FuzzedDataProvider* input) {
  static constexpr int kFrames[] = {7, 8, 9, 7, 8, 9, 2, 4, 5, 0, -1, 10, 1 << 20};
  return input->PickValueInArray(kFrames);
}

double PickTimestamp(FuzzedDataProvider* input) {
  return input->ConsumeBool() ? input->ConsumeIntegralInRange<int>(0, 1000) / 8.0
                              : solvo_fuzz::PickDouble(input);
}

// A pose as the service might answer it; with the first choice a unit quaternion and a tame
// translation, as the service promises.
void PickPose(FuzzedDataProvider* input, SolvoPoseData* pose, bool* tame) {
  std::memset(pose, 0, sizeof *pose);
  const bool valid = input->ConsumeBool();
  double norm = 0.0;
  for (double& q : pose->orientation) {
    q = solvo_fuzz::PickDouble(input);
    norm += q * q;
  }
  norm = std::sqrt(norm);
  for (double& t : pose->translation) t = solvo_fuzz::PickDouble(input);
  bool is_tame = false;
  if (valid && std::isfinite(norm) && norm > 1e-3) {
    for (double& q : pose->orientation) q /= norm;
    for (double& t : pose->translation) {
      if (!solvo_fuzz::IsTame(t, 1e3)) t = 1.0;
    }
    is_tame = true;
  }
  pose->timestamp = solvo_fuzz::PickDouble(input);
  *tame = is_tame;
}

SolvoErrorType AnswerPoseQuery(double, SolvoCoordinateFramePair, SolvoPoseData* pose) {
  FUZZ_CHECK(pose != nullptr);
  ++queries;
  // Usually OK; sometimes a failure or a status the service never documented.
  static constexpr int kStatuses[] = {0, 0, 0, 0, 0, 0, 0, -1, -2, 1};
  const int status = answers->PickValueInArray(kStatuses);
  bool tame = false;
  PickPose(answers, pose, &tame);
  answers_tame = answers_tame && tame;
  return static_cast<SolvoErrorType>(status);
}

// The int in a frame field, read without loading it as the enumeration.
int FrameValue(const SolvoCoordinateFrameType& frame) {
  int value;
  std::memcpy(&value, &frame, sizeof value);
  return value;
}

double Norm(const double* values, int n) {
  double sum = 0.0;
  for (int k = 0; k < n; ++k) sum += values[k] * values[k];
  return std::sqrt(sum);
}

void FuzzWorldTCameraPose(FuzzedDataProvider* input) {
  static constexpr int kConventions[] = {0, 1, 0, 1, 2, -1, 255};
  const int convention = input->PickValueInArray(kConventions);
  SolvoPoseData pose;
  bool tame = false;
  PickPose(input, &pose, &tame);
  double translation[3] = {kUntouched, kUntouched, kUntouched};
  double orientation[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
  const int nulls = input->ConsumeIntegralInRange<int>(0, 7);
  const SolvoErrorType status = CallGetWorldTCameraPose(convention, (nulls & 1) ? nullptr : &pose,
                                                        (nulls & 2) ? nullptr : translation,
                                                        (nulls & 4) ? nullptr : orientation);
  FUZZ_CHECK_STATUS(status);
  if (nulls != 0) {
    FUZZ_CHECK(status == SOLVO_STATUS_BAD_ARGUMENT);
  } else if (convention != 0 && convention != 1) {
    FUZZ_CHECK(status == SOLVO_STATUS_FAILED);
  } else {
    FUZZ_CHECK(status == SOLVO_STATUS_OK);
  }
  if (status != SOLVO_STATUS_OK) {
    for (double t : translation) FUZZ_CHECK(t == kUntouched);
    for (double q : orientation) FUZZ_CHECK(q == kUntouched);
    return;
  }
  if (tame) {
    // Both conventions only permute and mirror axes: lengths survive, rotations stay rotations.
    FUZZ_CHECK(std::fabs(Norm(orientation, 4) - 1.0) < 1e-9);
    FUZZ_CHECK(std::fabs(Norm(translation, 3) - Norm(pose.translation, 3)) < 1e-9);
  }
}

void FuzzRelativePose(FuzzedDataProvider* input) {
  const double base_timestamp = PickTimestamp(input);
  const double target_timestamp = PickTimestamp(input);
  const int base_frame = PickFrame(input);
  const int target_frame = PickFrame(input);
  const bool null_output = input->ConsumeIntegralInRange<int>(0, 15) == 0;
  const bool null_query = input->ConsumeIntegralInRange<int>(0, 15) == 0;
  const bool simulated = input->ConsumeIntegralInRange<int>(0, 3) == 0;

  SolvoPoseData output;
  std::memset(&output, 0x5a, sizeof output);
  const SolvoPoseData before = output;
  queries = 0;
  answers_tame = true;
  SolvoErrorType status;
  if (simulated) {
    status = CallCalculateRelativePose(base_timestamp, base_frame, target_timestamp, target_frame,
                                       null_output ? nullptr : &output);
    // The simulated device answers with unit quaternions, and translations that grow with time.
    answers_tame = solvo_fuzz::IsTame(base_timestamp) && solvo_fuzz::IsTame(target_timestamp);
  } else {
    status = CallInternalCalculateRelativePose(base_timestamp, base_frame, target_timestamp,
                                               target_frame, null_output ? nullptr : &output,
                                               null_query ? nullptr : AnswerPoseQuery);
  }
  FUZZ_CHECK(status == SOLVO_STATUS_OK || status == SOLVO_STATUS_FAILED ||
             status == SOLVO_STATUS_BAD_ARGUMENT);
  // A failed query is reported in one line naming the frame pair.
  FUZZ_CHECK(solvo_fuzz::TakeErrorLines() == (status == SOLVO_STATUS_OK ? 0 : 1));
  const bool sensor_frames =
      (base_frame >= 7 && base_frame <= 9) && (target_frame >= 7 && target_frame <= 9);
  if (!sensor_frames || null_output || (null_query && !simulated)) {
    FUZZ_CHECK(status == SOLVO_STATUS_BAD_ARGUMENT);
    FUZZ_CHECK(queries == 0);
  }
  if (status != SOLVO_STATUS_OK) {
    FUZZ_CHECK(std::memcmp(&output, &before, sizeof output) == 0);
    return;
  }
  FUZZ_CHECK(simulated || queries == 5);
  // The simulated device has no pose at a time it could not have seen: no NaN pose as success.
  FUZZ_CHECK(!simulated || (std::isfinite(base_timestamp) && std::isfinite(target_timestamp)));
  FUZZ_CHECK(output.timestamp == 0.0);
  FUZZ_CHECK(FrameValue(output.frames.base_frame) == base_frame);
  FUZZ_CHECK(FrameValue(output.frames.target_frame) == target_frame);
  if (answers_tame) {
    // Chained rigid motions are a rigid motion; the record holds it in single precision.
    FUZZ_CHECK(std::fabs(Norm(output.orientation, 4) - 1.0) < 1e-5);
    for (double t : output.translation) FUZZ_CHECK(std::isfinite(t));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  answers = &input;
  while (input.remaining_bytes() > 0) {
    if (input.ConsumeBool()) {
      FuzzWorldTCameraPose(&input);
    } else {
      FuzzRelativePose(&input);
    }
  }
  answers = nullptr;
  return 0;
}
