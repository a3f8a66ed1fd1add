// Pixel walks over a kernel rectangle and the lookup-table passes shared by the tone filters.
#pragma once

#include <cstdint>

#include "display/kernel.h"

namespace zirvo {

// The geometry a rectangle kernel receives, gathered so helpers take one argument.
struct PixelWalk {
  uint8_t* destination = nullptr;
  const uint8_t* source = nullptr;
  KernelRect rect;
  int destinationX = 0;
  int destinationY = 0;
  int destinationStep = 0;  // bytes per pixel
  int sourceStep = 0;
  int destinationStride = 0;
  int sourceStride = 0;

  uint8_t* DestinationRow(int sourceRow) const {
    return destination + static_cast<intptr_t>(destinationY + sourceRow - rect.top) * destinationStride +
           static_cast<intptr_t>(destinationX) * destinationStep;
  }
  const uint8_t* SourceRow(int sourceRow) const {
    return source + static_cast<intptr_t>(sourceRow) * sourceStride +
           static_cast<intptr_t>(rect.left) * sourceStep;
  }
};

inline PixelWalk MakePixelWalk(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                               int destinationX, int destinationY, int destinationStep, int sourceStep,
                               int destinationStride, int sourceStride) {
  return PixelWalk{destination,  source,          rect,       destinationX,
                   destinationY, destinationStep, sourceStep, destinationStride,
                   sourceStride};
}

// True when the walk can be run: buffers present, a non-negative origin and
// pixels wide enough for `pixelBytes` bytes of samples on both sides.
bool IsUsableWalk(const PixelWalk& walk, int pixelBytes);

bool IsEmptyWalk(const PixelWalk& walk);

// Replaces the first `channels` bytes of every pixel by table[byte]; the other
// bytes of a destination pixel are never written.
using ByteTablePass = void (*)(const PixelWalk& walk, int channels, const uint8_t* table);

void MapByteTable(const PixelWalk& walk, int channels, const uint8_t* table);
void MapByteTableAvx2(const PixelWalk& walk, int channels, const uint8_t* table);
void MapByteTableAvx512Vbmi(const PixelWalk& walk, int channels, const uint8_t* table);

ByteTablePass SelectByteTablePass(uint32_t usableFeatures);

// Replaces the first `channels` little-endian words of every pixel by
// table[min(word, tableSize - 1)]: samples beyond the table read its last entry.
void MapWordTable(const PixelWalk& walk, int channels, const uint16_t* table, int tableSize);

// Checks the walk, then runs the pass: 1 when done (or nothing to do), 0 for a
// walk that cannot be run.
int RunByteTablePass(const PixelWalk& walk, int channels, const uint8_t* table, ByteTablePass pass);
int RunWordTablePass(const PixelWalk& walk, int channels, const uint16_t* table, int tableSize);

// One filter's kernels for the four sample layouts, chosen once per camera.
struct ToneKernels {
  RectangleKernel mono8 = nullptr;
  RectangleKernel mono16 = nullptr;
  RectangleKernel bgr8 = nullptr;
  RectangleKernel bgr16 = nullptr;
};

bool HasAvx512Vbmi(uint32_t usableFeatures);

}  // namespace zirvo
