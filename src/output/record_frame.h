// The record thread's per-frame conversion of an output image to the
// recording's 24-bit, row-reversed frame.
#pragma once

namespace zirvo {

class FrameBitmap;

// Fills `recordFrame` (made 24-bit at the frame's size when it is not) with
// `frame` converted to 24 bits, rows reversed so that the bottom-up frame
// shows the first row the camera sent at the top. 8-bit gray becomes
// B = G = R; 16-bit gray and 48/64-bit colour keep bits 2..9 of each sample;
// 32-bit drops the fourth byte. 1, or 0 for an empty frame, a depth other
// than 8, 16, 24, 32, 48 or 64, or a bitmap that cannot be made. Reallocates
// only when the size changes.
int ConvertFrameForRecording(const FrameBitmap& frame, FrameBitmap& recordFrame);

}  // namespace zirvo
