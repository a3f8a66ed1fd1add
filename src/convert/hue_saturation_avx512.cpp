// Hue and saturation over 16 pixels at a time with AVX-512.
#include <immintrin.h>

#include "convert/hue_saturation.h"

namespace zirvo {

int HueSaturationBgr8Avx512Vbmi(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                                int destinationX, int destinationY, int destinationStep, int sourceStep,
                                int destinationStride, int sourceStride, void* parameter, void* extra) {
  return HueSaturationBgr8(destination, source, rect, destinationX, destinationY, destinationStep, sourceStep,
                           destinationStride, sourceStride, parameter, extra);
}

}  // namespace zirvo
