// A picture of a point cloud as the colour camera sees it, coloured by depth, written as PNG.
#ifndef SOLVO_SUPPORT_TOOL_DEPTH_PICTURE_H_
#define SOLVO_SUPPORT_TOOL_DEPTH_PICTURE_H_

#include <solvo_support_api.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "mesh-files.h"

namespace solvo_cli {

struct PictureMarks {
  std::vector<bool> highlighted;               // per point (plane inliers); empty for none
  std::optional<std::array<double, 2>> touch;  // a touched pixel: a white cross in a ring
  std::optional<std::array<double, 2>> query;  // a queried pixel: a magenta ring
};

// Throws InputError when `path` is a directory, UsageError unless it ends in .png: checked
// before any work.
void CheckWritablePictureFormat(const std::string& path);

// Projects every point through `color_camera_T_point_cloud` (16 doubles, column-major) and the
// intrinsics into an image of the intrinsics' size; the nearest point of a pixel colours it from
// warm (near) to cool (far), highlighted points are hatched with light bands. Throws InputError
// when the file cannot be written.
void WriteDepthPicture(const std::vector<Vector3f>& points,
                       const double* color_camera_T_point_cloud,
                       const SolvoCameraIntrinsics& intrinsics, const PictureMarks& marks,
                       const std::string& path);

}  // namespace solvo_cli

#endif  // SOLVO_SUPPORT_TOOL_DEPTH_PICTURE_H_
