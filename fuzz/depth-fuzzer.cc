// Fuzz target: point cloud records, depth at a point and every plane fit, on clouds, intrinsics,
// transforms, touches, thresholds, ratios and iteration counts decoded from the input.
#include <fuzzer/FuzzedDataProvider.h>
#include <gflags/gflags.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "failing-new.h"
#include "fuzz-support.h"
#include "generic/random_generator_provider.h"
#include "solvo_support_api.h"

namespace {

constexpr uint32_t kMaxPoints = 256;
constexpr double kUntouched = 12345.5;

using solvo_fuzz::IsTame;
using solvo_fuzz::PickDouble;
using solvo_fuzz::PickFloat;

// A cloud made by the library, its points partly on a plane (so that fits succeed) and partly
// anywhere; `tame` tells whether every number in it is a sensible one.
struct Cloud {
  SolvoXYZij record{};
  bool tame = true;

  explicit Cloud(FuzzedDataProvider* input) {
    const uint32_t count = input->ConsumeIntegralInRange<uint32_t>(0, kMaxPoints);
    FUZZ_CHECK(SolvoSupport_createXYZij(count, &record) == SOLVO_STATUS_OK);
    FUZZ_CHECK(record.point_count == 0 && (count == 0 || record.xyz != nullptr));
    // Points a little in front of the camera on z = depth + a*x + b*y, or anything at all.
    const double depth = 0.5 + input->ConsumeIntegralInRange<int>(0, 40) / 10.0;
    const double a = input->ConsumeIntegralInRange<int>(-10, 10) / 10.0;
    const double b = input->ConsumeIntegralInRange<int>(-10, 10) / 10.0;
    const int wild_every = input->ConsumeIntegralInRange<int>(0, 8);
    for (uint32_t i = 0; i < count; ++i) {
      float* p = record.xyz[i];
      if (wild_every != 0 && i % static_cast<uint32_t>(wild_every) == 0) {
        for (int k = 0; k < 3; ++k) {
          p[k] = PickFloat(input);
          tame = tame && IsTame(p[k]);
        }
      } else {
        const double x = input->ConsumeIntegralInRange<int>(-100, 100) / 50.0;
        const double y = input->ConsumeIntegralInRange<int>(-100, 100) / 50.0;
        p[0] = static_cast<float>(x);
        p[1] = static_cast<float>(y);
        p[2] = static_cast<float>(depth + a * x + b * y);
      }
    }
    record.point_count = count;
    record.timestamp = PickDouble(input);
  }
  ~Cloud() {
    FUZZ_CHECK(SolvoSupport_freeXYZij(&record) == SOLVO_STATUS_OK);
    FUZZ_CHECK(record.xyz == nullptr && record.point_count == 0 && record.timestamp == 0.0);
    FUZZ_CHECK(SolvoSupport_freeXYZij(&record) == SOLVO_STATUS_OK);  // harmless twice
  }
  Cloud(const Cloud&) = delete;
  Cloud& operator=(const Cloud&) = delete;
};

struct Query {
  SolvoCameraIntrinsics intrinsics{};
  double transform[16] = {};
  SolvoPoseData pose{};
  float uv[2] = {};
  bool tame = true;

  explicit Query(FuzzedDataProvider* input) {
    if (input->ConsumeBool()) {
      intrinsics.width = 640;
      intrinsics.height = 480;
      intrinsics.fx = intrinsics.fy = 500.0;
      intrinsics.cx = 320.0;
      intrinsics.cy = 240.0;
    } else {
      intrinsics.width = input->ConsumeIntegral<uint32_t>();
      intrinsics.height = input->ConsumeIntegral<uint32_t>();
      intrinsics.fx = PickDouble(input);
      intrinsics.fy = PickDouble(input);
      intrinsics.cx = PickDouble(input);
      intrinsics.cy = PickDouble(input);
      tame = intrinsics.fx >= 1e-3 && intrinsics.fy >= 1e-3 && IsTame(intrinsics.fx) &&
             IsTame(intrinsics.fy) && IsTame(intrinsics.cx) && IsTame(intrinsics.cy) &&
             intrinsics.width <= 1000000 && intrinsics.height <= 1000000;
    }
    for (int k = 0; k < 16; ++k) transform[k] = (k % 5 == 0) ? 1.0 : 0.0;
    pose.orientation[3] = 1.0;
    if (!input->ConsumeBool()) {
      for (double& m : transform) {
        m = PickDouble(input);
        tame = tame && IsTame(m, 1e3);
      }
      for (double& q : pose.orientation) {
        q = PickDouble(input);
        tame = tame && IsTame(q, 1e3);
      }
      for (double& t : pose.translation) {
        t = PickDouble(input);
        tame = tame && IsTame(t, 1e3);
      }
    }
    for (float& f : uv) {
      f = input->ConsumeBool() ? input->ConsumeIntegralInRange<int>(0, 100) / 100.0f
                               : PickFloat(input);
      tame = tame && IsTame(f);
    }
  }
};

bool AllFinite(const double* values, int n) {
  for (int k = 0; k < n; ++k) {
    if (!std::isfinite(values[k])) return false;
  }
  return true;
}

bool AllUntouched(const double* values, int n) {
  for (int k = 0; k < n; ++k) {
    if (values[k] != kUntouched) return false;
  }
  return true;
}

void FuzzRecords(FuzzedDataProvider* input, const Cloud& cloud) {
  FUZZ_CHECK_STATUS(SolvoSupport_createXYZij(0, nullptr));
  FUZZ_CHECK_STATUS(SolvoSupport_freeXYZij(nullptr));
  FUZZ_CHECK_STATUS(SolvoSupport_copyXYZij(nullptr, nullptr));

  // The copy's destination has room for the points (the caller's duty) and keeps its own words.
  SolvoXYZij copy{};
  const uint32_t room = cloud.record.point_count + input->ConsumeIntegralInRange<uint32_t>(0, 4);
  FUZZ_CHECK(SolvoSupport_createXYZij(room, &copy) == SOLVO_STATUS_OK);
  copy.service_word = 77;
  copy.tail_words[2] = 88;
  const bool null_output = input->ConsumeIntegralInRange<int>(0, 15) == 0;
  const SolvoErrorType status =
      SolvoSupport_copyXYZij(&cloud.record, null_output ? nullptr : &copy);
  FUZZ_CHECK_STATUS(status);
  FUZZ_CHECK(status == (null_output ? SOLVO_STATUS_BAD_ARGUMENT : SOLVO_STATUS_OK));
  if (status == SOLVO_STATUS_OK) {
    FUZZ_CHECK(copy.point_count == cloud.record.point_count);
    FUZZ_CHECK(std::memcmp(&copy.timestamp, &cloud.record.timestamp, sizeof(double)) == 0);
    FUZZ_CHECK(
        cloud.record.point_count == 0 ||
        std::memcmp(copy.xyz, cloud.record.xyz, cloud.record.point_count * sizeof(float[3])) == 0);
    FUZZ_CHECK(copy.service_word == 77 && copy.tail_words[2] == 88);
  }
  FUZZ_CHECK(SolvoSupport_freeXYZij(&copy) == SOLVO_STATUS_OK);
  FUZZ_CHECK(copy.service_word == 77 && copy.tail_words[2] == 0);

  // Counts that promise points where a record holds no array: refused, the output untouched.
  SolvoXYZij promise = cloud.record;
  promise.point_count = input->ConsumeIntegral<uint32_t>();
  const bool input_array = input->ConsumeBool();
  if (!input_array) promise.xyz = nullptr;
  SolvoXYZij empty{};
  empty.timestamp = 5.5;
  const SolvoErrorType promise_status = SolvoSupport_copyXYZij(&promise, &empty);
  FUZZ_CHECK_STATUS(promise_status);
  if (promise.point_count > 0) {
    FUZZ_CHECK(promise_status == SOLVO_STATUS_BAD_ARGUMENT);
    FUZZ_CHECK(empty.point_count == 0 && empty.timestamp == 5.5);
  }

  // A cloud of any size: one beyond what memory gives fails with one line and a cleared record.
  SolvoXYZij huge;
  std::memset(&huge, 0x6b, sizeof huge);
  const uint32_t huge_count =
      input->ConsumeBool() ? UINT32_MAX : input->ConsumeIntegral<uint32_t>();
  const SolvoErrorType huge_status = SolvoSupport_createXYZij(huge_count, &huge);
  const int huge_lines = solvo_fuzz::TakeErrorLines();
  if (huge_status == SOLVO_STATUS_OK) {
    FUZZ_CHECK(huge_lines == 0 && huge.xyz != nullptr && huge.point_count == 0);
    FUZZ_CHECK(size_t{huge_count} * sizeof(float[3]) <= solvo_fuzz::kLargestRequest);
  } else {
    FUZZ_CHECK(huge_status == (sizeof(void*) == 4 && huge_count > SIZE_MAX / 12
                                   ? SOLVO_STATUS_BAD_ARGUMENT
                                   : SOLVO_STATUS_FAILED));
    FUZZ_CHECK(huge_lines == 1);
  }
  if (huge_status != SOLVO_STATUS_BAD_ARGUMENT) {
    FUZZ_CHECK(huge.point_count == 0 && huge.timestamp == 0.0);
    FUZZ_CHECK(SolvoSupport_freeXYZij(&huge) == SOLVO_STATUS_OK);
  }
}

void FuzzDepth(FuzzedDataProvider* input, const Cloud& cloud, const Query& query) {
  float point[3] = {7.0f, 7.0f, 7.0f};
  int valid = 7;
  const int nulls = input->ConsumeIntegralInRange<int>(0, 63) & input->ConsumeIntegral<uint8_t>();
  const bool with_pose = input->ConsumeBool();
  const SolvoXYZij* record = (nulls & 1) ? nullptr : &cloud.record;
  const SolvoCameraIntrinsics* intrinsics = (nulls & 2) ? nullptr : &query.intrinsics;
  const float* uv = (nulls & 4) ? nullptr : query.uv;
  float* point_out = (nulls & 8) ? nullptr : point;
  int* valid_out = (nulls & 16) ? nullptr : &valid;
  const SolvoErrorType status =
      with_pose
          ? SolvoSupport_getDepthAtPointNearestNeighbor(
                record, intrinsics, (nulls & 32) ? nullptr : &query.pose, uv, point_out, valid_out)
          : SolvoSupport_getDepthAtPointNearestNeighborMatrixTransform(
                record, intrinsics, (nulls & 32) ? nullptr : query.transform, uv, point_out,
                valid_out);
  FUZZ_CHECK_STATUS(status);
  FUZZ_CHECK(status != SOLVO_STATUS_FAILED);
  if ((nulls & ~16) != 0 || cloud.record.point_count == 0) {
    FUZZ_CHECK(status == SOLVO_STATUS_BAD_ARGUMENT);
  }
  if (status != SOLVO_STATUS_OK) {
    FUZZ_CHECK(point[0] == 7.0f && point[1] == 7.0f && point[2] == 7.0f && valid == 7);
    return;
  }
  if (valid_out != nullptr) FUZZ_CHECK(valid == 0 || valid == 1);
  if (valid_out != nullptr && valid == 0) {
    FUZZ_CHECK(point[0] == 0.0f && point[1] == 0.0f && point[2] == 0.0f);
  }
  if (cloud.tame && query.tame) {
    for (float p : point) FUZZ_CHECK(std::isfinite(p));
  }
}

void FuzzPlaneNearClick(FuzzedDataProvider* input, const Cloud& cloud, const Query& query) {
  double intersection[3] = {kUntouched, kUntouched, kUntouched};
  double plane[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
  const int nulls = input->ConsumeIntegralInRange<int>(0, 63) & input->ConsumeIntegral<uint8_t>();
  const SolvoXYZij* record = (nulls & 1) ? nullptr : &cloud.record;
  const SolvoCameraIntrinsics* intrinsics = (nulls & 2) ? nullptr : &query.intrinsics;
  const float* uv = (nulls & 4) ? nullptr : query.uv;
  double* intersection_out = (nulls & 8) ? nullptr : intersection;
  double* plane_out = (nulls & 16) ? nullptr : plane;
  const SolvoErrorType status =
      input->ConsumeBool() ? SolvoSupport_fitPlaneModelNearClick(
                                 record, intrinsics, (nulls & 32) ? nullptr : &query.pose, uv,
                                 intersection_out, plane_out)
                           : SolvoSupport_fitPlaneModelNearClickMatrixTransform(
                                 record, intrinsics, (nulls & 32) ? nullptr : query.transform, uv,
                                 intersection_out, plane_out);
  FUZZ_CHECK_STATUS_MAY_LOG(status);
  if (nulls != 0 || cloud.record.point_count < 3) {
    FUZZ_CHECK(status == SOLVO_STATUS_BAD_ARGUMENT);
  }
  if (status != SOLVO_STATUS_OK) {
    FUZZ_CHECK(AllUntouched(intersection, 3) && AllUntouched(plane, 4));
    return;
  }
  if (cloud.tame && query.tame) {
    FUZZ_CHECK(AllFinite(intersection, 3) && AllFinite(plane, 4));
    const double norm = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
    FUZZ_CHECK(std::fabs(norm - 1.0) < 1e-6);
  }
}

void FuzzRansacAndRefine(FuzzedDataProvider* input, const Cloud& cloud) {
  const int max_iterations = input->ConsumeIntegralInRange<int>(-3, 200);
  const double threshold = input->ConsumeBool()
                               ? input->ConsumeIntegralInRange<int>(0, 100) / 1000.0
                               : PickDouble(input);
  double sufficient = input->ConsumeIntegralInRange<int>(0, 10) / 10.0;
  double minimum = input->ConsumeIntegralInRange<int>(0, 10) / 10.0;
  if (input->ConsumeIntegralInRange<int>(0, 3) == 0) sufficient = PickDouble(input);
  if (input->ConsumeIntegralInRange<int>(0, 3) == 0) minimum = PickDouble(input);
  const bool null_cloud = input->ConsumeIntegralInRange<int>(0, 15) == 0;
  const bool null_plane = input->ConsumeIntegralInRange<int>(0, 15) == 0;
  double plane[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
  SolvoErrorType status = SolvoInternalSupport_fitPlaneToPointCloudRANSAC(
      null_cloud ? nullptr : &cloud.record, max_iterations, threshold, sufficient, minimum,
      null_plane ? nullptr : plane);
  FUZZ_CHECK_STATUS(status);
  const bool ordered = 0.0 <= minimum && minimum <= sufficient && sufficient <= 1.0;
  if (null_cloud || null_plane || cloud.record.point_count < 3 || !ordered) {
    FUZZ_CHECK(status == SOLVO_STATUS_BAD_ARGUMENT);
  }
  if (status == SOLVO_STATUS_BAD_ARGUMENT) FUZZ_CHECK(AllUntouched(plane, 4));
  if (status == SOLVO_STATUS_OK && cloud.tame && IsTame(threshold)) {
    FUZZ_CHECK(AllFinite(plane, 4));
  }

  // The refit starts from the RANSAC plane or from anything, sometimes in place.
  double input_plane[4];
  for (int k = 0; k < 4; ++k) {
    input_plane[k] =
        status == SOLVO_STATUS_OK && input->ConsumeBool() ? plane[k] : PickDouble(input);
  }
  double output_plane[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
  const bool in_place = input->ConsumeBool();
  double* output = in_place ? input_plane : output_plane;
  const double refine_threshold = PickDouble(input);
  const int nulls = input->ConsumeIntegralInRange<int>(0, 7) & input->ConsumeIntegral<uint8_t>();
  double before[4];
  std::memcpy(before, output, sizeof before);
  status = SolvoInternalSupport_refinePlaneModel((nulls & 1) ? nullptr : &cloud.record,
                                                 (nulls & 2) ? nullptr : input_plane,
                                                 refine_threshold, (nulls & 4) ? nullptr : output);
  FUZZ_CHECK_STATUS_MAY_LOG(status);
  if (nulls != 0 || cloud.record.point_count < 3) {
    FUZZ_CHECK(status == SOLVO_STATUS_BAD_ARGUMENT);
  }
  if (status != SOLVO_STATUS_OK) {
    FUZZ_CHECK(std::memcmp(before, output, sizeof before) == 0);
  } else if (cloud.tame) {
    FUZZ_CHECK(AllFinite(output, 4));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A fixed seed: a crashing input replays exactly.
  FLAGS_random_generator_use_random_seed = false;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const Cloud cloud(&input);
  const Query query(&input);
  FuzzRecords(&input, cloud);
  while (input.remaining_bytes() > 0) {
    switch (input.ConsumeIntegralInRange<int>(0, 2)) {
      case 0:
        FuzzDepth(&input, cloud, query);
        break;
      case 1:
        FuzzPlaneNearClick(&input, cloud, query);
        break;
      default:
        FuzzRansacAndRefine(&input, cloud);
        break;
    }
  }
  return 0;
}
