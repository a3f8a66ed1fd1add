// The record thread's conversion of an output image to a 24-bit frame with
// its rows reversed.
#include "output/record_frame.h"

#include "convert/row_copy.h"
#include "convert/sample_depth.h"
#include "display/frame_bitmap.h"

namespace zirvo {

namespace {

// Gray samples (8-bit, or 16-bit keeping bits 2..9) to B = G = R, the source
// rows taken bottom-up.
template <int kSourceBytes>
void GrayToBgr24Flipped(const FrameBitmap& frame, FrameBitmap& recordFrame) {
  const int32_t width = frame.Width();
  const int32_t height = frame.Height();
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* in = frame.Pixels() + static_cast<std::size_t>(height - 1 - row) * frame.Stride();
    uint8_t* out = recordFrame.Pixels() + static_cast<std::size_t>(row) * recordFrame.Stride();
    for (int32_t x = 0; x < width; ++x) {
      uint8_t value;
      if constexpr (kSourceBytes == 1) {
        value = in[x];
      } else {
        value = static_cast<uint8_t>((in[2 * x] | in[2 * x + 1] << 8) >> 2);
      }
      out[3 * x] = value;
      out[3 * x + 1] = value;
      out[3 * x + 2] = value;
    }
  }
}

}  // namespace

int ConvertFrameForRecording(const FrameBitmap& frame, FrameBitmap& recordFrame) {
  const int32_t width = frame.Width();
  const int32_t height = frame.Height();
  const int bits = frame.BitsPerPixel();
  if (frame.Pixels() == nullptr || width <= 0 || height <= 0) return 0;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32 && bits != 48 && bits != 64) return 0;
  if (recordFrame.Pixels() == nullptr || recordFrame.Width() != width ||
      recordFrame.Height() != height || recordFrame.BitsPerPixel() != 24) {
    if (!recordFrame.Create(width, height, 24)) return 0;
  }

  const KernelRect whole{0, 0, width, height};
  switch (bits) {
    case 8:
      GrayToBgr24Flipped<1>(frame, recordFrame);
      return 1;
    case 16:
      GrayToBgr24Flipped<2>(frame, recordFrame);
      return 1;
    case 24:
    case 32:
      return CopyBgr24Flipped(recordFrame.Pixels(), frame.Pixels(), whole, 0, 0, 3,
                              frame.BytesPerPixel(), recordFrame.Stride(), frame.Stride(),
                              nullptr, nullptr);
    default:
      return ReduceBgr16Shift2(recordFrame.Pixels(), frame.Pixels(), whole, 0, 0, 3,
                               frame.BytesPerPixel(), recordFrame.Stride(), frame.Stride(),
                               nullptr, nullptr);
  }
}

}  // namespace zirvo
