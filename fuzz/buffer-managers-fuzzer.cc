// Fuzz target: random sequences of create, set-copy-region, update, get-latest and free on the
// image buffer manager and the point cloud manager, with frames that often disagree with them.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "failing-new.h"
#include "fuzz-support.h"
#include "solvo_support_api.h"
#include "test-support/c-application-calls.h"

namespace {

constexpr int kRgba = SOLVO_HAL_PIXEL_FORMAT_RGBA_8888;
constexpr int kYuv = SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP;
// Larger managers are valid but only slow the search down.
constexpr uint64_t kMaxImageBytes = 1 << 16;
constexpr uint32_t kMaxCloudPoints = 1024;

uint64_t ImageBytes(int format, int64_t width, int64_t height) {
  if (width < 0 || height < 0) return 0;
  const auto w = static_cast<uint64_t>(width);
  const auto h = static_cast<uint64_t>(height);
  return format == kYuv ? w * (h + h / 2) : w * h * 4;
}

int PickDimension(FuzzedDataProvider* input) {
  static constexpr int kOdd[] = {0, 1, 2, 3, -1, INT_MIN, INT_MAX, 1 << 16, 46341};
  return input->ConsumeBool() ? input->ConsumeIntegralInRange<int>(0, 40)
                              : input->PickValueInArray(kOdd);
}

struct ImageManagerState {
  SolvoSupportImageBufferManager* manager = nullptr;
  int format = 0;
  int width = 0;
  int height = 0;
  double newest_timestamp = 0.0;     // greatest time stamp handed over and fetched so far
  SolvoImageBuffer* held = nullptr;  // the record the reader holds
};

void CreateImageManager(FuzzedDataProvider* input, ImageManagerState* state) {
  static constexpr int kFormats[] = {kRgba, kYuv, kRgba, kYuv, 0, 2, 0x23, -1};
  const int format = input->PickValueInArray(kFormats);
  const int width = PickDimension(input);
  const int height = PickDimension(input);
  const bool supported = format == kRgba || format == kYuv;
  const uint64_t bytes = ImageBytes(format, width, height);
  const bool accepted = supported && width >= 0 && height >= 0 && bytes <= uint64_t{INT_MAX};
  // Images too large for the memory the fuzz target gives fail with one line; the sizes between
  // are left out to keep the memory sensible.
  const bool out_of_memory = accepted && bytes > solvo_fuzz::kLargestRequest;
  if (accepted && bytes > kMaxImageBytes && !out_of_memory) return;
  const bool null_handle = input->ConsumeIntegralInRange<int>(0, 15) == 0;
  SolvoSupportImageBufferManager* manager = nullptr;
  const SolvoErrorType status =
      CallCreateImageBufferManager(format, width, height, null_handle ? nullptr : &manager);
  FUZZ_CHECK_STATUS_MAY_LOG(status);
  FUZZ_CHECK(status == (accepted && !null_handle
                            ? (out_of_memory ? SOLVO_STATUS_FAILED : SOLVO_STATUS_OK)
                            : SOLVO_STATUS_BAD_ARGUMENT));
  if (status != SOLVO_STATUS_OK) {
    FUZZ_CHECK(manager == nullptr);
    return;
  }
  FUZZ_CHECK(manager != nullptr);
  if (state->manager != nullptr) {
    FUZZ_CHECK_STATUS(SolvoSupport_freeImageBufferManager(state->manager));
  }
  *state = ImageManagerState{manager, format, width, height, 0.0, nullptr};
}

void SetCopyRegion(FuzzedDataProvider* input, const ImageManagerState& state) {
  const int yonly =
      input->ConsumeIntegralInRange<int>(0, 2) == 0 ? input->ConsumeIntegral<int>() : 0;
  const auto height = static_cast<uint32_t>(state.height);
  uint32_t begin = input->ConsumeIntegralInRange<uint32_t>(0, height + 2);
  uint32_t end = input->ConsumeIntegralInRange<uint32_t>(0, height + 2);
  if (input->ConsumeIntegralInRange<int>(0, 7) == 0) begin = input->ConsumeIntegral<uint32_t>();
  if (input->ConsumeIntegralInRange<int>(0, 7) == 0) end = input->ConsumeIntegral<uint32_t>();
  const SolvoErrorType status =
      SolvoSupport_setImageBufferCopyRegion(state.manager, yonly, begin, end);
  FUZZ_CHECK_STATUS(status);
  const bool valid = !(yonly != 0 && state.format == kRgba) && end <= height && begin < end;
  FUZZ_CHECK(status == (valid ? SOLVO_STATUS_OK : SOLVO_STATUS_BAD_ARGUMENT));
}

void UpdateImage(FuzzedDataProvider* input, ImageManagerState* state) {
  // Usually the manager's own shape, sometimes another; data for the whole stated image, or none.
  SolvoImageBuffer image{};
  int format = state->format;
  int64_t width = state->width;
  int64_t height = state->height;
  switch (input->ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
      format = format == kRgba ? kYuv : (input->ConsumeBool() ? kRgba : 3);
      break;
    case 1:
      width += input->ConsumeBool() ? 1 : -1;
      break;
    case 2:
      height += input->ConsumeBool() ? 1 : -1;
      break;
    case 3:
      width = input->ConsumeIntegral<uint32_t>();
      height = input->ConsumeIntegral<uint32_t>();
      break;
    default:
      break;
  }
  width = static_cast<uint32_t>(width);
  height = static_cast<uint32_t>(height);
  const bool matches = format == state->format && width == state->width && height == state->height;
  // A record the reader was handed may come back as the next frame.
  const bool hand_back =
      matches && state->held != nullptr && input->ConsumeIntegralInRange<int>(0, 3) == 0;
  std::vector<uint8_t> pixels;
  if (hand_back) {
    image = *state->held;
  } else {
    image.width = static_cast<uint32_t>(width);
    image.height = static_cast<uint32_t>(height);
    SetImageFormat(&image, format);
    const uint64_t bytes = ImageBytes(format, width, height);
    // Only as many bytes as the stated image holds, so any read past it is caught; a refused
    // image of absurd size gets a few bytes, which must not be read at all.
    pixels.resize(bytes <= kMaxImageBytes + 4096 ? bytes : 8);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 7 + 1);
    const bool no_data = input->ConsumeIntegralInRange<int>(0, 7) == 0;
    image.data =
        no_data ? nullptr : (pixels.empty() ? reinterpret_cast<uint8_t*>(&image) : pixels.data());
    image.timestamp = input->ConsumeBool() ? input->ConsumeIntegralInRange<int>(0, 100) / 4.0
                                           : solvo_fuzz::PickDouble(input);
  }
  const bool null_image = input->ConsumeIntegralInRange<int>(0, 15) == 0;
  const SolvoErrorType status =
      SolvoSupport_updateImageBuffer(state->manager, null_image ? nullptr : &image);
  FUZZ_CHECK(status == (null_image ? SOLVO_STATUS_BAD_ARGUMENT : SOLVO_STATUS_OK));
  // A refused image is reported in one line even though the status is OK.
  const bool refused = null_image || !matches || image.data == nullptr;
  FUZZ_CHECK(solvo_fuzz::TakeErrorLines() == (refused ? 1 : 0));
}

void GetLatestImage(FuzzedDataProvider* input, ImageManagerState* state) {
  const bool null_out = input->ConsumeIntegralInRange<int>(0, 15) == 0;
  SolvoImageBuffer* image = nullptr;
  const SolvoErrorType status =
      SolvoSupport_getLatestImageBuffer(state->manager, null_out ? nullptr : &image);
  FUZZ_CHECK_STATUS(status);
  FUZZ_CHECK(status == (null_out ? SOLVO_STATUS_BAD_ARGUMENT : SOLVO_STATUS_OK));
  if (status != SOLVO_STATUS_OK) return;
  FUZZ_CHECK(image != nullptr && image->data != nullptr);
  FUZZ_CHECK(image->width == static_cast<uint32_t>(state->width));
  FUZZ_CHECK(image->height == static_cast<uint32_t>(state->height));
  int format_value;
  std::memcpy(&format_value, &image->format, sizeof format_value);
  FUZZ_CHECK(format_value == state->format);
  // The reader never goes back in time.
  FUZZ_CHECK(!(image->timestamp < state->newest_timestamp));
  if (!std::isnan(image->timestamp)) state->newest_timestamp = image->timestamp;
  // Every byte of the image is the reader's to read.
  const uint64_t bytes = ImageBytes(state->format, state->width, state->height);
  unsigned sum = 0;
  for (uint64_t i = 0; i < bytes; ++i) sum += image->data[i];
  (void)sum;
  state->held = image;
}

struct CloudManagerState {
  SolvoSupportPointCloudManager* manager = nullptr;
  uint32_t capacity = 0;
  double newest_timestamp = -1.0;
  SolvoXYZij* held = nullptr;
};

void CreateCloudManager(FuzzedDataProvider* input, CloudManagerState* state) {
  static constexpr uint32_t kOdd[] = {0, 1, 3, UINT32_MAX};
  uint32_t capacity = input->ConsumeBool() ? input->ConsumeIntegralInRange<uint32_t>(1, 64)
                                           : input->PickValueInArray(kOdd);
  // On a 64-bit host every nonzero count is addressable: clouds too large for the memory the
  // fuzz target gives fail; the sizes between are left out to keep the memory sensible.
  const bool out_of_memory =
      sizeof(size_t) > 4 && uint64_t{capacity} * 12 > solvo_fuzz::kLargestRequest;
  if (capacity > kMaxCloudPoints && sizeof(size_t) > 4 && !out_of_memory) return;
  const bool null_handle = input->ConsumeIntegralInRange<int>(0, 15) == 0;
  SolvoSupportPointCloudManager* manager = nullptr;
  const SolvoErrorType status =
      SolvoSupport_createPointCloudManager(capacity, null_handle ? nullptr : &manager);
  // The family writes no lines, not even when memory runs out.
  FUZZ_CHECK(solvo_fuzz::TakeErrorLines() == 0);
  const bool checked = capacity != 0 && !null_handle;
  const bool accepted = checked && capacity <= kMaxCloudPoints;
  FUZZ_CHECK(status == (accepted                   ? SOLVO_STATUS_OK
                        : checked && out_of_memory ? SOLVO_STATUS_FAILED
                                                   : SOLVO_STATUS_BAD_ARGUMENT));
  FUZZ_CHECK(status == SOLVO_STATUS_OK || manager == nullptr);
  if (status != SOLVO_STATUS_OK) return;
  FUZZ_CHECK(SolvoSupport_freePointCloudManager(state->manager) == SOLVO_STATUS_OK);
  *state = CloudManagerState{manager, capacity, -1.0, nullptr};
}

void UpdateCloud(FuzzedDataProvider* input, CloudManagerState* state) {
  uint32_t count = input->ConsumeIntegralInRange<uint32_t>(0, state->capacity + 2);
  // Never empty: a cloud without points still has an array.
  std::vector<float> points(size_t{count == 0 ? 1 : count} * 3);
  for (size_t i = 0; i < points.size(); ++i) points[i] = static_cast<float>(i);
  SolvoXYZij cloud{};
  const bool hand_back = state->held != nullptr && input->ConsumeIntegralInRange<int>(0, 3) == 0;
  if (hand_back) {
    cloud = *state->held;
    count = cloud.point_count;
  } else {
    cloud.point_count = count;
    cloud.xyz = input->ConsumeIntegralInRange<int>(0, 7) == 0
                    ? nullptr
                    : reinterpret_cast<float(*)[3]>(points.data());
    if (cloud.xyz == nullptr) count = 0;
    cloud.timestamp = input->ConsumeBool() ? input->ConsumeIntegralInRange<int>(0, 100) / 4.0
                                           : solvo_fuzz::PickDouble(input);
  }
  const bool null_cloud = input->ConsumeIntegralInRange<int>(0, 15) == 0;
  const SolvoErrorType status =
      SolvoSupport_updatePointCloud(state->manager, null_cloud ? nullptr : &cloud);
  const int lines = solvo_fuzz::TakeErrorLines();
  if (null_cloud) {
    FUZZ_CHECK(status == SOLVO_STATUS_BAD_ARGUMENT && lines == 0);
  } else if (cloud.point_count > state->capacity) {
    FUZZ_CHECK(status == SOLVO_STATUS_BAD_ARGUMENT && lines == 1);
  } else {
    // A cloud without points is dropped with a line, but is no fault of the caller's.
    FUZZ_CHECK(status == SOLVO_STATUS_OK && lines == (count == 0 ? 1 : 0));
  }
}

void GetLatestCloud(FuzzedDataProvider* input, CloudManagerState* state) {
  const bool null_out = input->ConsumeIntegralInRange<int>(0, 15) == 0;
  SolvoXYZij* cloud = nullptr;
  const SolvoErrorType status =
      SolvoSupport_getLatestPointCloud(state->manager, null_out ? nullptr : &cloud);
  FUZZ_CHECK(solvo_fuzz::TakeErrorLines() == 0);
  FUZZ_CHECK(status == (null_out ? SOLVO_STATUS_BAD_ARGUMENT : SOLVO_STATUS_OK));
  if (status != SOLVO_STATUS_OK) return;
  FUZZ_CHECK(cloud != nullptr && cloud->xyz != nullptr && cloud->point_count <= state->capacity);
  FUZZ_CHECK(!(cloud->timestamp < state->newest_timestamp));
  if (!std::isnan(cloud->timestamp)) state->newest_timestamp = cloud->timestamp;
  float sum = 0.0f;
  for (uint32_t i = 0; i < cloud->point_count; ++i) sum += cloud->xyz[i][0] + cloud->xyz[i][2];
  (void)sum;
  state->held = cloud;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  ImageManagerState images;
  CloudManagerState clouds;
  // Null handles are refused before anything is looked at.
  FUZZ_CHECK_STATUS(SolvoSupport_setImageBufferCopyRegion(nullptr, 0, 0, 1));
  FUZZ_CHECK_STATUS(SolvoSupport_updateImageBuffer(nullptr, nullptr));
  FUZZ_CHECK_STATUS(SolvoSupport_getLatestImageBuffer(nullptr, nullptr));
  FUZZ_CHECK_STATUS(SolvoSupport_freeImageBufferManager(nullptr));
  FUZZ_CHECK(SolvoSupport_updatePointCloud(nullptr, nullptr) == SOLVO_STATUS_BAD_ARGUMENT);
  FUZZ_CHECK(SolvoSupport_getLatestPointCloud(nullptr, nullptr) == SOLVO_STATUS_BAD_ARGUMENT);
  FUZZ_CHECK(SolvoSupport_freePointCloudManager(nullptr) == SOLVO_STATUS_OK);
  FUZZ_CHECK(solvo_fuzz::TakeErrorLines() == 0);

  while (input.remaining_bytes() > 0) {
    const int operation = input.ConsumeIntegralInRange<int>(0, 8);
    if (operation == 0) {
      CreateImageManager(&input, &images);
    } else if (operation <= 4 && images.manager != nullptr) {
      if (operation == 1) SetCopyRegion(&input, images);
      if (operation == 2) UpdateImage(&input, &images);
      if (operation == 3) GetLatestImage(&input, &images);
      if (operation == 4) {
        FUZZ_CHECK_STATUS(SolvoSupport_freeImageBufferManager(images.manager));
        images = ImageManagerState{};
      }
    } else if (operation == 5) {
      CreateCloudManager(&input, &clouds);
    } else if (operation > 5 && clouds.manager != nullptr) {
      if (operation == 6) UpdateCloud(&input, &clouds);
      if (operation == 7) GetLatestCloud(&input, &clouds);
      if (operation == 8) {
        FUZZ_CHECK(SolvoSupport_freePointCloudManager(clouds.manager) == SOLVO_STATUS_OK);
        clouds = CloudManagerState{};
      }
    }
  }
  if (images.manager != nullptr)
    FUZZ_CHECK_STATUS(SolvoSupport_freeImageBufferManager(images.manager));
  FUZZ_CHECK(SolvoSupport_freePointCloudManager(clouds.manager) == SOLVO_STATUS_OK);
  return 0;
}
