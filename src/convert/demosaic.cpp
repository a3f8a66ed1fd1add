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

// Source rows at dy = −2..+1 around one rectangle row, offsets substituted.
template <typename Sample>
struct BorderRows {
  const Sample* rows[4];
};

template <typename Sample>
class BorderWriter {
 public:
  BorderWriter(const uint8_t* source, int sourceStride, const KernelRect& rect,
               const DestinationView& destination, GainFactors factors)
      : source_(source), sourceStride_(sourceStride), rect_(rect), destination_(destination),
        factors_(factors) {}

  BorderRows<Sample> RowsAround(int32_t row) const {
    BorderRows<Sample> around;
    for (int offset = -2; offset <= 1; ++offset) {
      const int32_t y = rect_.top + SubstitutedPosition(row, offset, rect_.Height());
      around.rows[offset + 2] = SourceRow<Sample>(source_, sourceStride_, y);
    }
    return around;
  }

  void ColumnsAround(int32_t column, int32_t (&columns)[4]) const {
    for (int offset = -2; offset <= 1; ++offset) {
      columns[offset + 2] = rect_.left + SubstitutedPosition(column, offset, rect_.Width());
    }
  }

  void Write(const BorderRows<Sample>& around, const int32_t (&columns)[4], int32_t column,
             int32_t row, int kind) const {
    StorePixel<Sample>(destination_.At(column, row), CellSumsAt(around.rows, columns, kind),
                       factors_);
  }

  void Write(const BorderRows<Sample>& around, int32_t column, int32_t row, int kind) const {
    int32_t columns[4];
    ColumnsAround(column, columns);
    Write(around, columns, column, row, kind);
  }

  // Columns 2 .. W − 3 of a row need no column substitution: they run as an
  // interior row over the substituted source rows.
  InnerRowJob<Sample> MiddleOfRow(const BorderRows<Sample>& around, int32_t row, int rowPhase,
                                  int columnPhase) const {
    InnerRowJob<Sample> job{};
    for (int k = 0; k < 4; ++k) job.rows[k] = around.rows[k] + rect_.left + 2;
    job.output = destination_.At(2, row);
    job.count = rect_.Width() - 4;
    job.rowPhase = rowPhase;
    job.columnPhase = columnPhase;
    job.factors = factors_;
    job.outputBytesPerPixel = destination_.bytesPerPixel;
    return job;
  }

 private:
  const uint8_t* source_;
  int sourceStride_;
  const KernelRect& rect_;
  const DestinationView& destination_;
  GainFactors factors_;
};

// The phases toggle through all four strips: after every pixel and row.
struct BorderPhases {
  int row;
  int column;
  int Kind() const { return CellKindOf(row, column); }
};

template <typename Sample>
void WriteFullRow(const BorderWriter<Sample>& writer, int32_t row, int32_t width,
                  BorderPhases& phases, InnerRowFunction<Sample> middle) {
  const BorderRows<Sample> around = writer.RowsAround(row);
  for (int32_t column = 0; column < 2; ++column, phases.column ^= 1) {
    writer.Write(around, column, row, phases.Kind());
  }
  if (width > 4) {
    middle(writer.MiddleOfRow(around, row, phases.row, phases.column));
    phases.column ^= (width - 4) & 1;
  }
  for (int32_t column = width - 2; column < width; ++column, phases.column ^= 1) {
    writer.Write(around, column, row, phases.Kind());
  }
  phases.row ^= 1;
}

template <typename Sample>
void WriteColumnPair(const BorderWriter<Sample>& writer, int32_t firstColumn, int32_t height,
                     BorderPhases& phases) {
  int32_t columns[2][4];
  writer.ColumnsAround(firstColumn, columns[0]);
  writer.ColumnsAround(firstColumn + 1, columns[1]);
  for (int32_t row = 0; row < height; ++row, phases.row ^= 1) {
    const BorderRows<Sample> around = writer.RowsAround(row);
    for (int k = 0; k < 2; ++k, phases.column ^= 1) {
      writer.Write(around, columns[k], firstColumn + k, row, phases.Kind());
    }
  }
}

template <typename Sample>
void WriteStrips(const BorderWriter<Sample>& writer, const KernelRect& rect, int32_t bayerMode,
                 InnerRowFunction<Sample> middle) {
  const int32_t w = rect.Width();
  const int32_t h = rect.Height();
  BorderPhases phases{RowPhaseOfMode(bayerMode), ColumnPhaseOfMode(bayerMode)};
  for (int32_t row : {0, 1, h - 2, h - 1}) WriteFullRow(writer, row, w, phases, middle);
  WriteColumnPair(writer, 0, h, phases);
  WriteColumnPair(writer, w - 2, h, phases);
}

template <typename Sample>
void WriteEveryPixel(const BorderWriter<Sample>& writer, const KernelRect& rect,
                     int32_t bayerMode) {
  for (int32_t row = 0; row < rect.Height(); ++row) {
    const int rowPhase = (row & 1) ^ RowPhaseOfMode(bayerMode);
    const BorderRows<Sample> around = writer.RowsAround(row);
    for (int32_t column = 0; column < rect.Width(); ++column) {
      const int columnPhase = (column & 1) ^ ColumnPhaseOfMode(bayerMode);
      writer.Write(around, column, row, CellKindOf(rowPhase, columnPhase));
    }
  }
}

// Plain rows in pieces: even and odd pixels first go into planes (loops the
// compiler can vectorise), then into the interleaved pixels.
constexpr int32_t kPlainPiecePairs = 128;

struct PlainPlanes {
  int32_t blue[2][kPlainPiecePairs];
  int32_t green[2][kPlainPiecePairs];
  int32_t red[2][kPlainPiecePairs];
};

template <int kKind, typename Sample>
void PlainHalf(const Sample* const rows[4], int32_t first, int32_t pairs, GainFactors factors,
               int32_t (&blue)[kPlainPiecePairs], int32_t (&green)[kPlainPiecePairs],
               int32_t (&red)[kPlainPiecePairs]) {
  constexpr int32_t kMaximum = MaximumChannel<Sample>();
  for (int32_t k = 0; k < pairs; ++k) {
    const int32_t x = first + 2 * k;
    const int32_t columns[4] = {x - 2, x - 1, x, x + 1};
    const CellSums sums = CellSumsOfKind<kKind>(rows, columns);
    blue[k] = std::min((sums.blueSum * factors.blue) >> 11, kMaximum);
    green[k] = std::min(sums.green, kMaximum);
    red[k] = std::min((sums.redSum * factors.red) >> 11, kMaximum);
  }
}

template <typename Sample>
void StorePlanes(const PlainPlanes& planes, int32_t pixels, uint8_t* output, int bytesPerPixel) {
  for (int32_t p = 0; p < pixels; ++p) {
    const int half = p & 1;
    const int32_t k = p >> 1;
    uint8_t* pixel = output + static_cast<intptr_t>(p) * bytesPerPixel;
    if constexpr (sizeof(Sample) == 1) {
      pixel[0] = static_cast<uint8_t>(planes.blue[half][k]);
      pixel[1] = static_cast<uint8_t>(planes.green[half][k]);
      pixel[2] = static_cast<uint8_t>(planes.red[half][k]);
    } else {
      const uint16_t channels[3] = {static_cast<uint16_t>(planes.blue[half][k]),
                                    static_cast<uint16_t>(planes.green[half][k]),
                                    static_cast<uint16_t>(planes.red[half][k])};
      std::memcpy(pixel, channels, sizeof(channels));
    }
  }
}

template <int kEvenKind, int kOddKind, typename Sample>
void PlainRowOfKinds(const InnerRowJob<Sample>& job) {
  const Sample* const rows[4] = {job.rows[0], job.rows[1], job.rows[2], job.rows[3]};
  PlainPlanes planes;
  // Products of 31 bits at most (demosaic_cell.h), so int32 holds them.
  for (int32_t first = 0; first < job.count; first += 2 * kPlainPiecePairs) {
    const int32_t pixels = std::min(2 * kPlainPiecePairs, job.count - first);
    PlainHalf<kEvenKind>(rows, first, (pixels + 1) / 2, job.factors, planes.blue[0],
                         planes.green[0], planes.red[0]);
    PlainHalf<kOddKind>(rows, first + 1, pixels / 2, job.factors, planes.blue[1],
                        planes.green[1], planes.red[1]);
    StorePlanes<Sample>(planes, pixels,
                        job.output + static_cast<intptr_t>(first) * job.outputBytesPerPixel,
                        job.outputBytesPerPixel);
  }
}

template <typename Sample>
void PlainRow(const InnerRowJob<Sample>& job) {
  switch (CellKindOf(job.rowPhase, job.columnPhase)) {
    case kCellGreenRedInColumn:
      return PlainRowOfKinds<kCellGreenRedInColumn, kCellBlue>(job);
    case kCellBlue:
      return PlainRowOfKinds<kCellBlue, kCellGreenRedInColumn>(job);
    case kCellRed:
      return PlainRowOfKinds<kCellRed, kCellGreenRedInRow>(job);
    default:
      return PlainRowOfKinds<kCellGreenRedInRow, kCellRed>(job);
  }
}

template <typename Sample>
int DemosaicInner(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                  int destinationX, int destinationY, int destinationBytesPerPixel,
                  int sourceBytesPerPixel, int destinationStride, int sourceStride,
                  void* parameter) {
  return ForEachInnerRow<Sample>(
      destination, source, rect, destinationX, destinationY, destinationBytesPerPixel,
      sourceBytesPerPixel, destinationStride, sourceStride, parameter,
      PlainRow<Sample>);
}

}  // namespace

template <typename Sample>
int DemosaicBorderWithRows(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                           int destinationX, int destinationY, int destinationBytesPerPixel,
                           int sourceBytesPerPixel, int destinationStride, int sourceStride,
                           void* parameter, InnerRowFunction<Sample> middle) {
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
    WriteStrips(writer, rect, block.bayerMode, middle);
  }
  return 1;
}

template int DemosaicBorderWithRows<uint8_t>(uint8_t*, const uint8_t*, const KernelRect&, int,
                                             int, int, int, int, int, void*,
                                             InnerRowFunction<uint8_t>);
template int DemosaicBorderWithRows<uint16_t>(uint8_t*, const uint8_t*, const KernelRect&, int,
                                              int, int, int, int, int, void*,
                                              InnerRowFunction<uint16_t>);

namespace {

template <typename Sample>
int DemosaicBorder(uint8_t* destination, const uint8_t* source, const KernelRect& rect,
                   int destinationX, int destinationY, int destinationBytesPerPixel,
                   int sourceBytesPerPixel, int destinationStride, int sourceStride,
                   void* parameter) {
  return DemosaicBorderWithRows<Sample>(destination, source, rect, destinationX, destinationY,
                                        destinationBytesPerPixel, sourceBytesPerPixel,
                                        destinationStride, sourceStride, parameter,
                                        PlainRow<Sample>);
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

namespace {

// The 8-bit AVX-512 kernels gather bytes across the register (VBMI).
bool HasAvx512Bytes(uint32_t usableFeatures) {
  constexpr uint32_t kNeeded = kFeatureAvx512 | kFeatureAvx512Vbmi;
  return (usableFeatures & kNeeded) == kNeeded;
}

}  // namespace
#endif

RectangleKernel SelectDemosaicInner8(uint32_t usableFeatures) {
#ifdef ZIRVO_DEMOSAIC_HAS_VECTORS
  if (HasAvx512Bytes(usableFeatures)) return DemosaicInner8Avx512;
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

RectangleKernel SelectDemosaicBorder8(uint32_t usableFeatures) {
#ifdef ZIRVO_DEMOSAIC_HAS_VECTORS
  if (HasAvx512Bytes(usableFeatures)) return DemosaicBorder8Avx512;
  if (usableFeatures & kFeatureAvx2) return DemosaicBorder8Avx2;
#endif
  (void)usableFeatures;
  return DemosaicBorder8;
}

RectangleKernel SelectDemosaicBorder16(uint32_t usableFeatures) {
#ifdef ZIRVO_DEMOSAIC_HAS_VECTORS
  if (usableFeatures & kFeatureAvx512) return DemosaicBorder16Avx512;
  if (usableFeatures & kFeatureAvx2) return DemosaicBorder16Avx2;
#endif
  (void)usableFeatures;
  return DemosaicBorder16;
}

}  // namespace zirvo
