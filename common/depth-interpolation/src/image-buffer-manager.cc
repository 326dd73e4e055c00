// Triple-buffered hand-over of the newest colour image from one writer thread to one reader.
#include "depth-interpolation/image-buffer-manager.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <utility>

#include "logging/ensure.h"
#include "logging/log-statement.h"

namespace depth_interpolation {
namespace {

int CheckedImageSize(SolvoImageFormatType format, int width, int height) {
  ENSURE(ImageBufferManager::IsSupportedFormat(static_cast<int>(format)))
      << "Unsupported image format: " << static_cast<int>(format);
  ENSURE(width >= 0 && height >= 0) << width << " x " << height;
  const uint64_t image_size = ImageBufferManager::ImageSizeOf(format, width, height);
  ENSURE(image_size <= uint64_t{INT_MAX}) << image_size;
  return static_cast<int>(image_size);
}

}  // namespace

bool ImageBufferManager::IsSupportedFormat(int format) {
  return format == SOLVO_HAL_PIXEL_FORMAT_RGBA_8888 ||
         format == SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP;
}

uint64_t ImageBufferManager::ImageSizeOf(SolvoImageFormatType format, int width, int height) {
  const auto w = static_cast<uint64_t>(width);
  const auto h = static_cast<uint64_t>(height);
  // Both factors are below 2^31, so neither product reaches 2^64.
  return format == SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP ? w * (h + h / 2) : w * h * 4;
}

ImageBufferManager::ImageBufferManager(SolvoImageFormatType format, int width, int height)
    : format_(format),
      width_(static_cast<uint32_t>(width)),
      height_(static_cast<uint32_t>(height)),
      end_line_(static_cast<uint32_t>(height)),
      bytes_per_pixel_(format == SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP ? 1 : 4),
      image_size_(CheckedImageSize(format, width, height)) {
  for (size_t i = 0; i < images_.size(); ++i) {
    pixels_[i].reset(new uint8_t[static_cast<size_t>(image_size_)]());
    SolvoImageBuffer& image = images_[i];
    image.width = width_;
    image.height = height_;
    image.format = format_;
    image.timestamp = 0.0;
    image.data = pixels_[i].get();
  }
  front_color_image_ = &images_[0];
  middle_color_image_ = &images_[1];
  back_color_image_ = &images_[2];
}

void ImageBufferManager::SetCopyRegion(bool yonly, uint32_t begin_line, uint32_t end_line) {
  ENSURE(!yonly || format_ != SOLVO_HAL_PIXEL_FORMAT_RGBA_8888);
  ENSURE(end_line <= height_);
  ENSURE(begin_line < end_line);
  std::lock_guard<std::mutex> lock(region_mutex_);
  yonly_ = yonly;
  begin_line_ = begin_line;
  end_line_ = end_line;
}

bool ImageBufferManager::Update(const SolvoImageBuffer& image) {
  SolvoImageBuffer* back = ENSURE_NOT_NULL(back_color_image_);
  uint8_t* destination = ENSURE_NOT_NULL(back_color_image_->data);
  // The application's record may hold any int as its format: compare the bytes, not the enum.
  int image_format;
  std::memcpy(&image_format, &image.format, sizeof image_format);
  if (image.data == nullptr || image_format != static_cast<int>(format_) || image.width != width_ ||
      image.height != height_) {
    LOG_ERROR() << "No color data in callback (or incorrect format)";
    return false;
  }

  bool yonly;
  uint32_t begin_line, end_line;
  {
    std::lock_guard<std::mutex> lock(region_mutex_);
    yonly = yonly_;
    begin_line = begin_line_;
    end_line = end_line_;
  }

  // The back image is the writer's alone, so the copy runs without a lock. The caller may hand
  // back a record it got from this manager earlier, whose bytes are now the back image: move.
  const auto image_size = static_cast<size_t>(image_size_);
  const uint8_t* source = image.data;
  if (!yonly && begin_line == 0 && end_line == height_) {
    if (image_size > 0) std::memmove(destination, source, image_size);
  } else {
    const size_t row = size_t{width_} * static_cast<size_t>(bytes_per_pixel_);
    const size_t first = begin_line * row;
    std::memmove(destination + first, source + first, (end_line - begin_line) * row);
    if (format_ == SOLVO_HAL_PIXEL_FORMAT_YCrCb_420_SP && !yonly) {
      // Luminance rows 2k and 2k + 1 share chroma row k: copy every chroma row that one of the
      // band's rows uses, whole, or an odd first or last row would keep half a row of stale
      // colour. With an odd height the last luminance row has no chroma row: stay inside.
      const size_t plane = height_ * row;
      const size_t band_begin = std::min(plane + begin_line / 2 * row, image_size);
      const size_t band_end = std::min(plane + (size_t{end_line} + 1) / 2 * row, image_size);
      if (band_end > band_begin) {
        std::memmove(destination + band_begin, source + band_begin, band_end - band_begin);
      }
    }
  }
  back->timestamp = image.timestamp;

  std::lock_guard<std::mutex> lock(swap_mutex_);
  std::swap(middle_color_image_, back_color_image_);
  return true;
}

int ImageBufferManager::GetLatest(SolvoImageBuffer** front_buffer) {
  ENSURE_NOT_NULL(front_buffer);
  int exchanged = 0;
  {
    std::lock_guard<std::mutex> lock(swap_mutex_);
    if (middle_color_image_->timestamp > front_color_image_->timestamp) {
      std::swap(middle_color_image_, front_color_image_);
      exchanged = 1;
    }
  }
  // Only this thread moves the front pointer, so it is read after the lock is released.
  *front_buffer = front_color_image_;
  return exchanged;
}

}  // namespace depth_interpolation
