// Hot-pixel correction of Bayer raw frames in place, 8- and 16-bit samples.
#pragma once

#include <cstdint>

#include "display/kernel.h"

namespace zirvo {

// `parameter` is a BayerBlock*, `extra` an int* threshold (null: 30). Scans
// rows top + 2 .. bottom − 3 and columns left + 2 .. right − 3 in order, so
// earlier corrections feed later averages; returns the number of replaced
// pixels (0 without a block or for a source that is not 1 or 2 bytes per
// pixel). Called in place (destination == source) it corrects the rectangle
// itself; given a separate destination it first copies the rectangle to
// (destinationX, destinationY) there and corrects the copy.
//
// 16-bit samples are read as whole words on the 10-bit scale the 8-bit
// samples are widened to (v × 4): the threshold and the colour-difference
// limit of 30 are scaled by 4, and the colour estimate keeps full values
// instead of their low 8 bits.
int HotPixelCorrect(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                    int destinationX, int destinationY, int destinationBytesPerPixel,
                    int sourceBytesPerPixel, int destinationStride, int sourceStride,
                    void* parameter, void* extra);

// Same result; finds candidates 16 (8-bit) or 8 (16-bit) at a time and runs
// the exact sequential test only on them.
int HotPixelCorrectAvx2(uint8_t* destination, const uint8_t* source,
                        const KernelRect& sourceRect, int destinationX, int destinationY,
                        int destinationBytesPerPixel, int sourceBytesPerPixel,
                        int destinationStride, int sourceStride, void* parameter, void* extra);

RectangleKernel SelectHotPixelCorrect(uint32_t usableFeatures);

}  // namespace zirvo
