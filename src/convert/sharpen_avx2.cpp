// Sharpening row loops compiled for AVX2.
#include "convert/sharpen.h"

namespace zirvo {

void SharpenRowAvx2For8(const SharpenRowInput<uint8_t>& in, void* sums, int amount, bool narrow) {
  SharpenRowWith<uint8_t, 255>(in, sums, amount, narrow);
}

void SharpenRowAvx2For16(const SharpenRowInput<uint16_t>& in, void* sums, int amount, bool narrow) {
  SharpenRowWith<uint16_t, 1023>(in, sums, amount, narrow);
}

}  // namespace zirvo
