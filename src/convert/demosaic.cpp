// Plain demosaic kernels (inner and border, 8- and 16-bit) and the choice of vector variant.
#include "convert/demosaic.h"

#include "convert/demosaic_cell.h"
#include "convert/processor.h"

namespace zirvo {
namespace {

template <typename Sample>
const Sample* SourceRow(const uint8_t* source, int sourceStride, int32_t row) {
  return reinterpret_cast<const Sample*>(source + static_cast<intptr_t>(row) * sourceStride);
}

// Where the kernel writes and how it maps rectangle-relative pixels there.
struct DestinationView {
  uint8_t* bits;
  int x;
  int y;
  int bytesPerPixel;
  int stride;

  uint8_t* At(int32_t column, int32_t row) const {
    return bits + static_cast<intptr_t>(y + row) * stride +
           static_cast<intptr_t>(x + column) * bytesPerPixel;
  }
};

template <typename Sample>
int DemosaicInner(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                  int destinationX, int destinationY, int destinationBytesPerPixel,
                  int sourceBytesPerPixel, int destinationStride, int sourceStride,
                  void* parameter) {
  return ForEachInnerRow<Sample>(
      destination, source, rect, destinationX, destinationY, destinationBytesPerPixel,
      sourceBytesPerPixel, destinationStride, sourceStride, parameter,
      [](const InnerRowJob<Sample>& job) { InnerPixelsPlain(job, 0, job.count); });
}

// Position of a neighbour inside [0, size): out-of-range offsets move 4 to the
// other side; under 4 pixels they fold by 2, and onto the pixel itself at 1.
int32_t SubstitutedPosition(int32_t position, int32_t offset, int32_t size) {
  int32_t moved = position + offset;
  if (moved < 0) {
    moved += 4;
  } else if (moved >= size) {
    moved -= 4;
  }
  while (moved < 0) moved += 2;
  while (moved >= size) moved -= 2;
  return moved < 0 ? position : moved;
}

template <typename Sample>
class BorderWriter {
 public:
  BorderWriter(const uint8_t* source, int sourceStride, const KernelRect& rect,
               const DestinationView& destination, GainFactors factors)
      : source_(source), sourceStride_(sourceStride), rect_(rect), destination_(destination),
        factors_(factors) {}

  void Write(int32_t column, int32_t row, int kind) const {
    const Sample* rows[4];
    int32_t columns[4];
    for (int offset = -2; offset <= 1; ++offset) {
      const int32_t y = rect_.top + SubstitutedPosition(row, offset, rect_.Height());
      rows[offset + 2] = SourceRow<Sample>(source_, sourceStride_, y);
      columns[offset + 2] = rect_.left + SubstitutedPosition(column, offset, rect_.Width());
    }
    StorePixel<Sample>(destination_.At(column, row), CellSumsAt(rows, columns, kind), factors_);
  }

 private:
  const uint8_t* source_;
  int sourceStride_;
  const KernelRect& rect_;
  const DestinationView& destination_;
  GainFactors factors_;
};

// Rows [firstRow, lastRow] × columns [firstColumn, lastColumn] of one strip,
// with the phases carried from strip to strip.
struct Strip {
  int32_t firstRow;
  int32_t lastRow;
  int32_t firstColumn;
  int32_t lastColumn;
};

template <typename Sample>
void WriteStrips(const BorderWriter<Sample>& writer, const KernelRect& rect, int32_t bayerMode) {
  const int32_t w = rect.Width();
  const int32_t h = rect.Height();
  const Strip strips[4] = {
      {0, 1, 0, w - 1}, {h - 2, h - 1, 0, w - 1}, {0, h - 1, 0, 1}, {0, h - 1, w - 2, w - 1}};
  int rowPhase = RowPhaseOfMode(bayerMode);
  int columnPhase = ColumnPhaseOfMode(bayerMode);
  for (const Strip& strip : strips) {
    for (int32_t row = strip.firstRow; row <= strip.lastRow; ++row) {
      for (int32_t column = strip.firstColumn; column <= strip.lastColumn; ++column) {
        writer.Write(column, row, CellKindOf(rowPhase, columnPhase));
        columnPhase ^= 1;
      }
      rowPhase ^= 1;
    }
  }
}

template <typename Sample>
void WriteEveryPixel(const BorderWriter<Sample>& writer, const KernelRect& rect,
                     int32_t bayerMode) {
  for (int32_t row = 0; row < rect.Height(); ++row) {
    const int rowPhase = (row & 1) ^ RowPhaseOfMode(bayerMode);
    for (int32_t column = 0; column < rect.Width(); ++column) {
      const int columnPhase = (column & 1) ^ ColumnPhaseOfMode(bayerMode);
      writer.Write(column, row, CellKindOf(rowPhase, columnPhase));
    }
  }
}

template <typename Sample>
int DemosaicBorder(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                   int destinationX, int destinationY, int destinationBytesPerPixel,
                   int sourceBytesPerPixel, int destinationStride, int sourceStride,
                   void* parameter) {
  if (parameter == nullptr ||
      !DemosaicPixelSizesValid(sizeof(Sample), destinationBytesPerPixel, sourceBytesPerPixel)) {
    return 0;
  }
  const auto& block = *static_cast<const BayerBlock*>(parameter);
  if (rect.Width() <= 0 || rect.Height() <= 0) return 1;
  const DestinationView view{destination, destinationX, destinationY, destinationBytesPerPixel,
                             destinationStride};
  const BorderWriter<Sample> writer(source, sourceStride, rect, view, GainFactorsOf(block));
  if (rect.Width() < 4 || rect.Height() < 4) {
    WriteEveryPixel(writer, rect, block.bayerMode);
  } else {
    WriteStrips(writer, rect, block.bayerMode);
  }
  return 1;
}

}  // namespace

int DemosaicInner8(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                   int destinationX, int destinationY, int destinationBytesPerPixel,
                   int sourceBytesPerPixel, int destinationStride, int sourceStride,
                   void* parameter, void* /*extra*/) {
  return DemosaicInner<uint8_t>(destination, source, sourceRect, destinationX, destinationY,
                                destinationBytesPerPixel, sourceBytesPerPixel, destinationStride,
                                sourceStride, parameter);
}

int DemosaicInner16(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                    int destinationX, int destinationY, int destinationBytesPerPixel,
                    int sourceBytesPerPixel, int destinationStride, int sourceStride,
                    void* parameter, void* /*extra*/) {
  return DemosaicInner<uint16_t>(destination, source, sourceRect, destinationX, destinationY,
                                 destinationBytesPerPixel, sourceBytesPerPixel,
                                 destinationStride, sourceStride, parameter);
}

int DemosaicBorder8(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                    int destinationX, int destinationY, int destinationBytesPerPixel,
                    int sourceBytesPerPixel, int destinationStride, int sourceStride,
                    void* parameter, void* /*extra*/) {
  return DemosaicBorder<uint8_t>(destination, source, sourceRect, destinationX, destinationY,
                                 destinationBytesPerPixel, sourceBytesPerPixel,
                                 destinationStride, sourceStride, parameter);
}

int DemosaicBorder16(uint8_t* destination, const uint8_t* source, const KernelRect& sourceRect,
                     int destinationX, int destinationY, int destinationBytesPerPixel,
                     int sourceBytesPerPixel, int destinationStride, int sourceStride,
                     void* parameter, void* /*extra*/) {
  return DemosaicBorder<uint16_t>(destination, source, sourceRect, destinationX, destinationY,
                                  destinationBytesPerPixel, sourceBytesPerPixel,
                                  destinationStride, sourceStride, parameter);
}

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
#define ZIRVO_DEMOSAIC_HAS_VECTORS 1
#endif

RectangleKernel SelectDemosaicInner8(uint32_t usableFeatures) {
#ifdef ZIRVO_DEMOSAIC_HAS_VECTORS
  if (usableFeatures & kFeatureAvx512Vbmi) return DemosaicInner8Avx512;
  if (usableFeatures & kFeatureAvx2) return DemosaicInner8Avx2;
#endif
  (void)usableFeatures;
  return DemosaicInner8;
}

RectangleKernel SelectDemosaicInner16(uint32_t usableFeatures) {
#ifdef ZIRVO_DEMOSAIC_HAS_VECTORS
  if (usableFeatures & kFeatureAvx512) return DemosaicInner16Avx512;
  if (usableFeatures & kFeatureAvx2) return DemosaicInner16Avx2;
#endif
  (void)usableFeatures;
  return DemosaicInner16;
}

RectangleKernel SelectDemosaicBorder8(uint32_t /*usableFeatures*/) { return DemosaicBorder8; }

RectangleKernel SelectDemosaicBorder16(uint32_t /*usableFeatures*/) { return DemosaicBorder16; }

}  // namespace zirvo
