// Plain hot-pixel correction and the choice of its vector variant.
#include "convert/hot_pixel.h"

#include "convert/hot_pixel_scan.h"
#include "convert/processor.h"

namespace zirvo {
namespace {

template <typename Sample>
int CorrectArea(const HotPixelArea<Sample>& area) {
  int replaced = 0;
  for (int32_t y = area.top + 2; y <= area.top + area.height - 3; ++y) {
    for (int32_t x = area.left + 2; x <= area.left + area.width - 3; ++x) {
      replaced += CorrectIfHot(area, x, y) ? 1 : 0;
    }
  }
  return replaced;
}

template <typename Sample>
int Correct(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
            int destinationX, int destinationY, int destinationStride, int sourceStride,
            void* parameter, void* extra) {
  HotPixelArea<Sample> area{};
  if (!PrepareHotPixelArea(destination, source, rect, destinationX, destinationY,
                           destinationStride, sourceStride, parameter, extra, &area)) {
    return 0;
  }
  return CorrectArea(area);
}

}  // namespace

int HotPixelCorrect(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                    int destinationX, int destinationY, int destinationBytesPerPixel,
                    int sourceBytesPerPixel, int destinationStride, int sourceStride,
                    void* parameter, void* extra) {
  if (destinationBytesPerPixel != sourceBytesPerPixel) return 0;
  if (sourceBytesPerPixel == 1) {
    return Correct<uint8_t>(destination, source, sourceRect, destinationX, destinationY,
                            destinationStride, sourceStride, parameter, extra);
  }
  if (sourceBytesPerPixel == 2) {
    return Correct<uint16_t>(destination, source, sourceRect, destinationX, destinationY,
                             destinationStride, sourceStride, parameter, extra);
  }
  return 0;
}

RectangleKernel SelectHotPixelCorrect(uint32_t usableFeatures) {
#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
  if (usableFeatures & kFeatureAvx2) return HotPixelCorrectAvx2;
#endif
  (void)usableFeatures;
  return HotPixelCorrect;
}

}  // namespace zirvo
