// Parameter blocks that the conversion pipeline hands to its kernels.
#pragma once

#include <cstdint>

namespace zirvo {

// Demosaic and hot-pixel correction. Gains are percentages (100 = unity).
struct BayerBlock {
  int32_t bayerMode;
  int32_t gainRed;
  int32_t gainGreen;  // carried, never applied: green is not scaled
  int32_t gainBlue;
};

// White-balance measurement result.
struct WhiteBalanceResult {
  int32_t gainBlue;
  int32_t gainGreen;
  int32_t gainRed;
  int32_t bayerMode;
};

// Gray filter: gains 0..255 (128 = unity), offsets -255..255.
struct GrayBlock {
  int32_t bayerMode;
  int32_t gainR;
  int32_t gainG1;
  int32_t gainG2;
  int32_t gainB;
  int32_t offsetR;
  int32_t offsetG1;
  int32_t offsetG2;
  int32_t offsetB;
};

// Hue and saturation.
struct HueBlock {
  int32_t hue;
  int32_t lightness;  // always 0
  int32_t saturation;
  int32_t sampleBits;  // 8, or 12 for 16-bit colour
};

// Gamma, contrast, sharpness and brightness take a single setting.
struct ValueBlock {
  int32_t value;
};

}  // namespace zirvo
