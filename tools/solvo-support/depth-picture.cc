// A picture of a point cloud as the colour camera sees it, coloured by depth, written as PNG.
#include "depth-picture.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "arguments.h"
#include "output-file.h"

namespace solvo_cli {
namespace {

using Rgb = std::array<uint8_t, 3>;

constexpr size_t kPngReasonSize = 200;

class Image {
 public:
  Image(int width, int height)
      : width_(width), height_(height), pixels_(size_t(width) * size_t(height), Rgb{24, 26, 32}) {}
  int width() const { return width_; }
  int height() const { return height_; }
  Rgb& at(int x, int y) { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
  void Put(int x, int y, Rgb color) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) at(x, y) = color;
  }
  const uint8_t* row(int y) const { return pixels_[size_t(y) * size_t(width_)].data(); }

 private:
  int width_, height_;
  std::vector<Rgb> pixels_;
};

uint8_t Byte(double value) {
  return static_cast<uint8_t>(std::clamp(std::lround(value * 255.0), 0L, 255L));
}

// Red (t = 0, near) through yellow and green to dark blue (t = 1, far): a polynomial fit of a
// perceptually ordered rainbow, so that depth steps read as colour steps. Its darkest ends are
// left out to keep every point apart from the background.
Rgb DepthColor(double t) {
  t = 0.05 + 0.9 * std::clamp(1.0 - t, 0.0, 1.0);
  const double r =
      0.13572138 +
      t * (4.61539260 +
           t * (-42.66032258 + t * (132.13108234 + t * (-152.94239396 + t * 59.28637943))));
  const double g =
      0.09140261 +
      t * (2.19418839 + t * (4.84296658 + t * (-14.18503333 + t * (4.27729857 + t * 2.82956604))));
  const double b =
      0.10667330 +
      t * (12.64194608 +
           t * (-60.58204836 + t * (110.36276771 + t * (-89.90310912 + t * 27.34824973))));
  return {Byte(r), Byte(g), Byte(b)};
}

void DrawRing(Image* image, double cx, double cy, double radius, Rgb color) {
  for (int step = 0; step < 720; ++step) {
    const double angle = step * M_PI / 360.0;
    for (double r = radius - 1.0; r <= radius + 1.0; r += 0.5) {
      image->Put(static_cast<int>(std::lround(cx + r * std::cos(angle))),
                 static_cast<int>(std::lround(cy + r * std::sin(angle))), color);
    }
  }
}

void DrawCross(Image* image, double cx, double cy, int arm, Rgb color) {
  const int x = static_cast<int>(std::lround(cx)), y = static_cast<int>(std::lround(cy));
  for (int d = -arm; d <= arm; ++d) {
    for (int w = -1; w <= 1; ++w) {
      image->Put(x + d, y + w, color);
      image->Put(x + w, y + d, color);
    }
  }
}

// A pixel font for the colour bar's labels, 5 rows high: bit (width - 1 - x) of row y is set
// where the glyph has ink.
struct Glyph {
  char c;
  int width;
  uint8_t rows[5];
};
constexpr Glyph kGlyphs[] = {
    {'0', 3, {7, 5, 5, 5, 7}}, {'1', 3, {2, 6, 2, 2, 7}}, {'2', 3, {7, 1, 7, 4, 7}},
    {'3', 3, {7, 1, 7, 1, 7}}, {'4', 3, {5, 5, 7, 1, 1}}, {'5', 3, {7, 4, 7, 1, 7}},
    {'6', 3, {7, 4, 7, 5, 7}}, {'7', 3, {7, 1, 1, 1, 1}}, {'8', 3, {7, 5, 7, 5, 7}},
    {'9', 3, {7, 5, 7, 1, 7}}, {'.', 1, {0, 0, 0, 0, 1}}, {'m', 5, {0, 0, 26, 21, 21}},
    {' ', 1, {0, 0, 0, 0, 0}}};
constexpr int kGlyphRows = 5;

const Glyph* FindGlyph(char c) {
  for (const Glyph& glyph : kGlyphs) {
    if (glyph.c == c) return &glyph;
  }
  return nullptr;
}

int TextWidth(const std::string& text, int scale) {
  int width = 0;
  for (char c : text) {
    if (const Glyph* glyph = FindGlyph(c)) width += (glyph->width + 1) * scale;
  }
  return width > 0 ? width - scale : 0;
}

// Draws `text` with its top left corner at (x, y), each font pixel a `scale` x `scale` square.
void DrawText(Image* image, int x, int y, const std::string& text, int scale, Rgb color) {
  for (char c : text) {
    const Glyph* glyph = FindGlyph(c);
    if (glyph == nullptr) continue;
    for (int row = 0; row < kGlyphRows; ++row) {
      for (int column = 0; column < glyph->width; ++column) {
        if (((glyph->rows[row] >> (glyph->width - 1 - column)) & 1) == 0) continue;
        for (int dy = 0; dy < scale; ++dy) {
          for (int dx = 0; dx < scale; ++dx) {
            image->Put(x + column * scale + dx, y + row * scale + dy, color);
          }
        }
      }
    }
    x += (glyph->width + 1) * scale;
  }
}

// Where depth `d` falls on the colour scale: 0 at `near_depth`, 1 at `far_depth`, by inverse
// depth as the picture colours it.
double ScalePosition(double d, double near_depth, double far_depth) {
  return (1.0 / near_depth - 1.0 / d) / (1.0 / near_depth - 1.0 / far_depth);
}

// "0.45 m", "1.5 m", "2 m": as few decimals as the value needs (up to three).
std::string MetresLabel(double value) {
  char text[32];
  for (int decimals = 0; decimals <= 3; ++decimals) {
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    if (std::fabs(std::strtod(text, nullptr) - value) < 1e-9 * std::max(1.0, value)) break;
  }
  return std::string(text) + " m";
}

// Round depths to label between the two ends of the scale, at most one per `min_gap` of its
// length (0 to 1): the roundest first, so that the inverse scale's crowded far end keeps the
// round metres and its near end gains finer steps.
std::vector<double> DepthTicks(double near_depth, double far_depth, double min_gap) {
  static const double kSteps[] = {10.0, 5.0, 2.0, 1.0, 0.5, 0.1, 0.05, 0.01, 0.005};
  std::vector<std::pair<double, double>> ticks;  // (position, depth)
  for (double step : kSteps) {
    for (double d = std::ceil(near_depth / step - 1e-9) * step; d <= far_depth + 1e-9; d += step) {
      const double position = ScalePosition(d, near_depth, far_depth);
      if (position < -1e-9 || position > 1.0 + 1e-9) continue;
      bool clear = true;
      for (const auto& tick : ticks) clear = clear && std::fabs(tick.first - position) >= min_gap;
      if (clear) ticks.push_back({position, d});
    }
  }
  if (ticks.size() < 2) ticks = {{0.0, near_depth}, {1.0, far_depth}};
  std::sort(ticks.begin(), ticks.end());
  std::vector<double> depths;
  for (const auto& tick : ticks) depths.push_back(tick.second);
  return depths;
}

// The colour scale at the picture's right edge: the depth colours from near (top) to far
// (bottom) on a darkened strip, round depths marked and labelled in metres.
void DrawDepthBar(Image* image, float near_depth, float far_depth) {
  const int scale = image->width() >= 480 ? 2 : 1;
  const int text_height = kGlyphRows * scale;
  const int margin = 4 * scale;
  const int top = margin + text_height;
  const int bottom = image->height() - margin - text_height;
  const int length = bottom - top;
  if (length < 6 * text_height || image->width() < 160) return;
  const std::vector<double> ticks =
      DepthTicks(near_depth, far_depth, 4.0 * text_height / static_cast<double>(length));
  int label_width = 0;
  for (double tick : ticks)
    label_width = std::max(label_width, TextWidth(MetresLabel(tick), scale));
  const int bar_width = 5 * scale;
  const int right = image->width() - margin;
  const int label_x = right - label_width;
  const int bar_x = label_x - 3 * scale - bar_width;
  const int left = bar_x - margin;
  // The strip under the bar and its labels, darkened so that the picture still shows through.
  for (int y = 0; y < image->height(); ++y) {
    for (int x = std::max(left, 0); x < image->width(); ++x) {
      Rgb& pixel = image->at(x, y);
      for (uint8_t& channel : pixel) channel = static_cast<uint8_t>(channel * 3 / 10 + 12);
    }
  }
  for (int y = top; y <= bottom; ++y) {
    const Rgb color = DepthColor(static_cast<double>(y - top) / length);
    for (int x = bar_x; x < bar_x + bar_width; ++x) image->Put(x, y, color);
  }
  const Rgb ink{235, 235, 235};
  for (double tick : ticks) {
    const int y =
        top + static_cast<int>(std::lround(ScalePosition(tick, near_depth, far_depth) * length));
    for (int x = bar_x - scale; x < bar_x + bar_width + 2 * scale; ++x) {
      for (int dy = 0; dy < scale; ++dy) image->Put(x, y + dy - scale / 2, ink);
    }
    DrawText(image, label_x, y - text_height / 2, MetresLabel(tick), scale, ink);
  }
}

// libpng's errors: the reason kept for the error line instead of printed, then the long jump.
void KeepPngError(png_structp png, png_const_charp message) {
  char* reason = static_cast<char*>(png_get_error_ptr(png));
  std::snprintf(reason, kPngReasonSize, "%s", message);
  png_longjmp(png, 1);
}

void IgnorePngWarning(png_structp, png_const_charp) {}

void AppendPngBytes(png_structp png, png_bytep data, size_t length) {
  auto* bytes = static_cast<std::string*>(png_get_io_ptr(png));
  bool appended = true;
  try {
    bytes->append(reinterpret_cast<const char*>(data), length);
  } catch (const std::exception&) {
    appended = false;
  }
  // Outside the handler: the long jump must not leave an exception behind.
  if (!appended) png_error(png, "out of memory");
}

void FlushNothing(png_structp) {}

// Encodes `image` into `bytes`; false with `reason` filled when libpng gives up. libpng reports
// errors by a long jump: nothing with a destructor may live in this frame.
bool EncodePng(const Image& image, std::string* bytes, char (&reason)[kPngReasonSize]) {
  std::snprintf(reason, kPngReasonSize, "%s", "the PNG encoder could not start");
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, reason, KeepPngError, IgnorePngWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, bytes, AppendPngBytes, FlushNothing);
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()),
               static_cast<png_uint_32>(image.height()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < image.height(); ++y) png_write_row(png, image.row(y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

void CheckWritablePictureFormat(const std::string& path) {
  CheckNotDirectory(path);
  if (LowerExtension(path) != ".png") {
    throw UsageError("cannot write '" + path + "': only PNG pictures are written (use .png)");
  }
}

void WriteDepthPicture(const std::vector<Vector3f>& points, const double* m,
                       const SolvoCameraIntrinsics& intrinsics, const PictureMarks& marks,
                       const std::string& path) {
  const int width = static_cast<int>(intrinsics.width),
            height = static_cast<int>(intrinsics.height);
  Image image(width, height);
  // Each point covers a square about as wide as the gap between points, so that a sparse cloud
  // still reads as surfaces.
  const double per_point =
      double(width) * double(height) / double(std::max<size_t>(points.size(), 1));
  const int splat = std::clamp(static_cast<int>(std::sqrt(per_point) * 0.8), 1, 5);

  struct Projected {
    int x, y;
    float depth;
    bool highlighted;
  };
  std::vector<Projected> projected;
  projected.reserve(points.size());
  std::vector<float> depths;
  depths.reserve(points.size());
  for (size_t i = 0; i < points.size(); ++i) {
    const double px = points[i][0], py = points[i][1], pz = points[i][2];
    const double x = m[0] * px + m[4] * py + m[8] * pz + m[12];
    const double y = m[1] * px + m[5] * py + m[9] * pz + m[13];
    const double z = m[2] * px + m[6] * py + m[10] * pz + m[14];
    if (!(z > 0.0)) continue;  // behind the camera
    const double u = intrinsics.fx * x / z + intrinsics.cx;
    const double v = intrinsics.fy * y / z + intrinsics.cy;
    if (!(u > -splat && v > -splat && u < width + splat && v < height + splat)) continue;
    const bool highlighted = i < marks.highlighted.size() && marks.highlighted[i];
    projected.push_back({static_cast<int>(std::lround(u)), static_cast<int>(std::lround(v)),
                         static_cast<float>(z), highlighted});
    depths.push_back(static_cast<float>(z));
  }
  // Colour between the 2nd and 98th percentile: a few stray points must not flatten the scale.
  float near_depth = 0.0f, far_depth = 1.0f;
  if (!depths.empty()) {
    const size_t lo = depths.size() / 50, hi = depths.size() - 1 - depths.size() / 50;
    std::nth_element(depths.begin(), depths.begin() + long(lo), depths.end());
    near_depth = depths[lo];
    std::nth_element(depths.begin(), depths.begin() + long(hi), depths.end());
    far_depth = std::max(depths[hi], near_depth + 1e-3f);
  }
  std::vector<float> zbuffer(size_t(width) * size_t(height),
                             std::numeric_limits<float>::infinity());
  for (const Projected& p : projected) {
    // By inverse depth, as a stereo or structured-light sensor measures it: near surfaces, where
    // the detail is, get most of the colours.
    const double t = (1.0 / near_depth - 1.0 / p.depth) / (1.0 / near_depth - 1.0 / far_depth);
    const Rgb color = DepthColor(t);
    // Highlighted points are hatched: light diagonal bands over their depth colours, which stay
    // readable between the bands.
    Rgb hatched = color;
    for (int c = 0; c < 3; ++c) hatched[c] = static_cast<uint8_t>((color[c] + 3 * 255) / 4);
    for (int dy = 0; dy < splat; ++dy) {
      for (int dx = 0; dx < splat; ++dx) {
        const int x = p.x + dx - splat / 2, y = p.y + dy - splat / 2;
        if (x < 0 || y < 0 || x >= width || y >= height) continue;
        float& nearest = zbuffer[size_t(y) * size_t(width) + size_t(x)];
        if (p.depth < nearest) {
          nearest = p.depth;
          image.at(x, y) = p.highlighted && (x + y) % 8 < 3 ? hatched : color;
        }
      }
    }
  }
  if (!depths.empty()) DrawDepthBar(&image, near_depth, far_depth);
  if (marks.query) {
    DrawRing(&image, (*marks.query)[0], (*marks.query)[1], 12.0, Rgb{20, 20, 20});
    DrawRing(&image, (*marks.query)[0], (*marks.query)[1], 9.0, Rgb{255, 40, 220});
    DrawCross(&image, (*marks.query)[0], (*marks.query)[1], 3, Rgb{255, 40, 220});
  }
  if (marks.touch) {
    DrawRing(&image, (*marks.touch)[0], (*marks.touch)[1], 14.0, Rgb{20, 20, 20});
    DrawRing(&image, (*marks.touch)[0], (*marks.touch)[1], 11.0, Rgb{255, 255, 255});
    DrawCross(&image, (*marks.touch)[0], (*marks.touch)[1], 7, Rgb{255, 255, 255});
  }

  std::string bytes;
  char reason[kPngReasonSize];
  if (!EncodePng(image, &bytes, reason)) {
    throw InputError("cannot write '" + path + "': PNG encoding failed: " + reason);
  }
  WriteOutputFile(path, bytes);
}

}  // namespace solvo_cli
