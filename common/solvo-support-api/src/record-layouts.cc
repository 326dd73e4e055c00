// Compile-time checks of the record layouts the service and applications share.
//
// The service fixes these offsets for 32-bit ARM; where an offset does not depend on the pointer
// size it is checked everywhere, the rest only where pointers are 4 bytes.
#include <cstddef>

#include "solvo_support_api.h"

namespace {

constexpr bool kPointers32 = sizeof(void*) == 4;

static_assert(sizeof(SolvoErrorType) == 4, "SolvoErrorType must be 32 bits");
static_assert(sizeof(SolvoCoordinateFrameType) == 4, "frame values are 32 bits");
static_assert(sizeof(SolvoCoordinateConvention) == 4, "conventions are 32 bits");
static_assert(sizeof(SolvoImageFormatType) == 4, "image formats are 32 bits");

static_assert(offsetof(SolvoXYZij, timestamp) == 8, "SolvoXYZij layout changed");
static_assert(offsetof(SolvoXYZij, point_count) == 16, "SolvoXYZij layout changed");
static_assert(!kPointers32 || offsetof(SolvoXYZij, xyz) == 20, "SolvoXYZij layout changed");
static_assert(!kPointers32 || offsetof(SolvoXYZij, tail_words) == 24, "SolvoXYZij layout changed");
static_assert(!kPointers32 || sizeof(SolvoXYZij) == 40, "SolvoXYZij layout changed");

static_assert(offsetof(SolvoCameraIntrinsics, width) == 8, "SolvoCameraIntrinsics layout changed");
static_assert(offsetof(SolvoCameraIntrinsics, height) == 12,
              "SolvoCameraIntrinsics layout changed");
static_assert(offsetof(SolvoCameraIntrinsics, fx) == 16, "SolvoCameraIntrinsics layout changed");
static_assert(offsetof(SolvoCameraIntrinsics, fy) == 24, "SolvoCameraIntrinsics layout changed");
static_assert(offsetof(SolvoCameraIntrinsics, cx) == 32, "SolvoCameraIntrinsics layout changed");
static_assert(offsetof(SolvoCameraIntrinsics, cy) == 40, "SolvoCameraIntrinsics layout changed");

static_assert(sizeof(SolvoPoseData) == 96, "SolvoPoseData layout changed");
static_assert(offsetof(SolvoPoseData, timestamp) == 8, "SolvoPoseData layout changed");
static_assert(offsetof(SolvoPoseData, orientation) == 16, "SolvoPoseData layout changed");
static_assert(offsetof(SolvoPoseData, translation) == 48, "SolvoPoseData layout changed");
static_assert(offsetof(SolvoPoseData, frames) == 76, "SolvoPoseData layout changed");
static_assert(sizeof(SolvoCoordinateFramePair) == 8, "SolvoCoordinateFramePair layout changed");
static_assert(offsetof(SolvoCoordinateFramePair, target_frame) == 4,
              "SolvoCoordinateFramePair layout changed");

static_assert(offsetof(SolvoImageBuffer, height) == 4, "SolvoImageBuffer layout changed");
static_assert(offsetof(SolvoImageBuffer, timestamp) == 16, "SolvoImageBuffer layout changed");
static_assert(offsetof(SolvoImageBuffer, format) == 32, "SolvoImageBuffer layout changed");
static_assert(!kPointers32 || offsetof(SolvoImageBuffer, data) == 36,
              "SolvoImageBuffer layout changed");
static_assert(!kPointers32 || sizeof(SolvoImageBuffer) == 40, "SolvoImageBuffer layout changed");

static_assert(offsetof(SolvoMesh_Experimental, tag) == 0, "SolvoMesh_Experimental layout changed");
static_assert(!kPointers32 || offsetof(SolvoMesh_Experimental, vertices) == 12,
              "SolvoMesh_Experimental layout changed");
static_assert(!kPointers32 || offsetof(SolvoMesh_Experimental, faces) == 16,
              "SolvoMesh_Experimental layout changed");
static_assert(!kPointers32 || offsetof(SolvoMesh_Experimental, normals) == 20,
              "SolvoMesh_Experimental layout changed");
static_assert(!kPointers32 || offsetof(SolvoMesh_Experimental, colors) == 24,
              "SolvoMesh_Experimental layout changed");
static_assert(!kPointers32 || offsetof(SolvoMesh_Experimental, num_vertices) == 28,
              "SolvoMesh_Experimental layout changed");
static_assert(!kPointers32 || offsetof(SolvoMesh_Experimental, num_faces) == 32,
              "SolvoMesh_Experimental layout changed");
static_assert(!kPointers32 || offsetof(SolvoMesh_Experimental, has_normals) == 36,
              "SolvoMesh_Experimental layout changed");
static_assert(!kPointers32 || offsetof(SolvoMesh_Experimental, has_colors) == 37,
              "SolvoMesh_Experimental layout changed");
static_assert(!kPointers32 || sizeof(SolvoMesh_Experimental) == 40,
              "SolvoMesh_Experimental layout changed");

}  // namespace
