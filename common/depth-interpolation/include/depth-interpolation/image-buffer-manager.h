// Triple-buffered hand-over of the newest colour image from one writer thread to one reader.
#ifndef DEPTH_INTERPOLATION_IMAGE_BUFFER_MANAGER_H_
#define DEPTH_INTERPOLATION_IMAGE_BUFFER_MANAGER_H_

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

#include "solvo_client_api.h"

namespace depth_interpolation {

// Owns three images of one format and size. The writer copies each incoming image into the back
// image and exchanges it with the middle one; the reader exchanges middle and front when the
// middle image is newer and reads the front one in place. Neither side waits for a copy made by
// the other: the two mutexes are held only for a few loads and stores, never together.
// One writer thread and one reader thread; the copy region may be set from either.
class ImageBufferManager {
 public:
  // True for the two formats the manager can hold: RGBA_8888 and YCrCb_420_SP. Takes the int an
  // application passed, which the enumeration may be unable to hold.
  static bool IsSupportedFormat(int format);
  // Bytes of one image of a supported format with non-negative `width` and `height`; the YUV
  // format adds a chroma plane of height / 2 rows. Never overflows, even for INT_MAX sizes.
  static uint64_t ImageSizeOf(SolvoImageFormatType format, int width, int height);

  // Three zero-filled images stamped 0.0, and a region covering every row. Requires a supported
  // format, non-negative `width` and `height`, and an image size that fits in int.
  ImageBufferManager(SolvoImageFormatType format, int width, int height);
  ImageBufferManager(const ImageBufferManager&) = delete;
  ImageBufferManager& operator=(const ImageBufferManager&) = delete;

  // Limits later updates to rows [begin_line, end_line) and, unless `yonly`, the YUV chroma rows
  // they use (luminance rows 2k and 2k + 1 use chroma row k).
  // Requires `yonly` only for the YUV format, end_line <= height and begin_line < end_line.
  void SetCopyRegion(bool yonly, uint32_t begin_line, uint32_t end_line);

  // Writer: copies the region of `image` into the back image, with its time stamp, and makes it
  // the middle image (an unread middle image is dropped). Refuses, with one error line and
  // nothing changed, an image without data or whose format, width or height differ from the
  // manager's: its bytes would be read with the wrong geometry, or past their end.
  bool Update(const SolvoImageBuffer& image);

  // Reader: makes the middle image the front one when its time stamp is strictly greater, and
  // stores the front image in `*front_buffer`; returns 1 when it exchanged, else 0. The image
  // stays unchanged until a later call returns 1.
  int GetLatest(SolvoImageBuffer** front_buffer);

  SolvoImageFormatType format() const { return format_; }
  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }
  int image_size() const { return image_size_; }

 private:
  // Format, size and image_size are fixed at construction; keeping them apart from the records
  // lets either thread read them without touching a record the other thread may own.
  const SolvoImageFormatType format_;
  const uint32_t width_;
  const uint32_t height_;

  std::mutex region_mutex_;
  bool yonly_ = false;
  uint32_t begin_line_ = 0;
  uint32_t end_line_;

  const int bytes_per_pixel_;
  const int image_size_;

  std::array<std::unique_ptr<uint8_t[]>, 3> pixels_;
  std::array<SolvoImageBuffer, 3> images_{};
  SolvoImageBuffer* front_color_image_;
  SolvoImageBuffer* middle_color_image_;
  SolvoImageBuffer* back_color_image_;
  std::mutex swap_mutex_;
};

}  // namespace depth_interpolation

#endif  // DEPTH_INTERPOLATION_IMAGE_BUFFER_MANAGER_H_
