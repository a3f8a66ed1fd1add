// CopyImageOut: an image into a caller's buffer in either row order.
#pragma once

#include <cstdint>

#include "display/frame_bitmap.h"

namespace zirvo {

// Error code for a caller buffer that cannot hold the image.
inline constexpr int kErrorBufferTooSmall = 5;

// What the camera instance does when a copy-out fails: post WM_CAMERA_FRAME
// (0x8002) with wParam 0 and lParam `errorCode` to its callback window if one
// is set, and record `errorCode` in its error store.
class CopyOutFailure {
 public:
  virtual ~CopyOutFailure() = default;
  virtual void Report(int errorCode) = 0;
};

// Copies stride x height bytes, the bitmap's own layout with row padding.
// rowOrderFlag != 0: memory row 0 (the first row the camera sent) first;
// 0: the last memory row first. 1 on success; 0 after reporting
// kErrorBufferTooSmall when `length` is short or `destination` is null, with
// nothing written.
int CopyImageOut(const FrameBitmap& bitmap, int rowOrderFlag, void* destination,
                 uint32_t length, CopyOutFailure& onFailure);

}  // namespace zirvo
