// Row functions shared by the gray-filter kernels and their vector variants.
#pragma once

#include <cstdint>

namespace zirvo {

// (59 G + 30 R + 11 B) / 100 of `width` pixels `step` bytes apart.
void LuminanceRowScalar(uint8_t* out, const uint8_t* in, int32_t width, int step);

// 24-bit pixels only; needs AVX2 (for its byte shuffles).
void LuminanceRow24Avx2(uint8_t* out, const uint8_t* in, int32_t width);

}  // namespace zirvo
