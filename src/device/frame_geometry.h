// Size of a frame on the wire and of the part handed to the caller.
#pragma once

#include <cstdint>

namespace zirvo {

// Transfer dimensions: what one frame read holds (rows packed, transfer width
// bytes apart). Copy dimensions: the top-left part of it that is handed out.
struct FrameGeometry {
  int transferWidth = 0;
  int transferHeight = 0;
  int copyWidth = 0;
  int copyHeight = 0;
  // 1: the copy is the top-left part. n > 1: it keeps every n-th pair of
  // columns and of rows, as the sensor's own skipping does, so that the
  // colour pattern survives.
  int sampleStep = 1;
};

// From the capture window's width, height and sub-sample mode. In modes 1 and
// 2 the transfer covers every column and row the sensor sends, (W + 1) / 2 or
// (W + 1) / 4, so that odd sizes keep their rows aligned; the copy keeps W / 2
// or W / 4 of them. Mode 3 reads the whole window, which the sensor sends at
// full resolution, and hands out every eighth pair of columns and rows.
FrameGeometry ComputeFrameGeometry(int width, int height, int mode);

// Bytes of one frame read: the transfer size rounded up to whole blocks.
uint32_t FrameReadBytes(const FrameGeometry& geometry);

// Transfer rows padded to 4 bytes.
uint32_t BitmapBytes(const FrameGeometry& geometry);

}  // namespace zirvo
