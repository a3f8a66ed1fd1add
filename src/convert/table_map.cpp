// Scalar lookup-table passes and the walk checks shared by the tone filters.
#include "convert/table_map.h"

#include <algorithm>
#include <cstring>

#include "convert/processor.h"

namespace zirvo {

bool IsUsableWalk(const PixelWalk& walk, int pixelBytes) {
  return walk.destination != nullptr && walk.source != nullptr && walk.destinationX >= 0 &&
         walk.destinationY >= 0 && walk.rect.left >= 0 && walk.rect.top >= 0 &&
         walk.destinationStep >= pixelBytes && walk.sourceStep >= pixelBytes;
}

bool IsEmptyWalk(const PixelWalk& walk) { return walk.rect.Width() <= 0 || walk.rect.Height() <= 0; }

namespace {

void MapByteRun(uint8_t* destination, const uint8_t* source, int count, const uint8_t* table) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const uint8_t a = table[source[i]];
    const uint8_t b = table[source[i + 1]];
    const uint8_t c = table[source[i + 2]];
    const uint8_t d = table[source[i + 3]];
    destination[i] = a;
    destination[i + 1] = b;
    destination[i + 2] = c;
    destination[i + 3] = d;
  }
  for (; i < count; ++i) destination[i] = table[source[i]];
}

void MapBytePixels(uint8_t* destination, const uint8_t* source, int width, int channels, int destinationStep,
                   int sourceStep, const uint8_t* table) {
  for (int x = 0; x < width; ++x) {
    for (int c = 0; c < channels; ++c) destination[c] = table[source[c]];
    destination += destinationStep;
    source += sourceStep;
  }
}

}  // namespace

void MapByteTable(const PixelWalk& walk, int channels, const uint8_t* table) {
  const int width = walk.rect.Width();
  const bool packed = walk.destinationStep == channels && walk.sourceStep == channels;
  for (int y = walk.rect.top; y < walk.rect.bottom; ++y) {
    if (packed) {
      MapByteRun(walk.DestinationRow(y), walk.SourceRow(y), width * channels, table);
    } else {
      MapBytePixels(walk.DestinationRow(y), walk.SourceRow(y), width, channels, walk.destinationStep,
                    walk.sourceStep, table);
    }
  }
}

#if !(defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86))
// Without the vector file the name still links; it is never selected.
void MapByteTableAvx2(const PixelWalk& walk, int channels, const uint8_t* table) {
  MapByteTable(walk, channels, table);
}
void MapByteTableAvx512Vbmi(const PixelWalk& walk, int channels, const uint8_t* table) {
  MapByteTable(walk, channels, table);
}
#endif

bool HasAvx512Vbmi(uint32_t usableFeatures) {
#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
  constexpr uint32_t kVbmi = kFeatureAvx512 | kFeatureAvx512Vbmi;
  return (usableFeatures & kVbmi) == kVbmi;
#else
  (void)usableFeatures;
  return false;
#endif
}

ByteTablePass SelectByteTablePass(uint32_t usableFeatures) {
#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
  if (HasAvx512Vbmi(usableFeatures)) return MapByteTableAvx512Vbmi;
  if ((usableFeatures & kFeatureAvx2) != 0) return MapByteTableAvx2;
#endif
  (void)usableFeatures;
  return MapByteTable;
}

int RunByteTablePass(const PixelWalk& walk, int channels, const uint8_t* table, ByteTablePass pass) {
  if (!IsUsableWalk(walk, channels)) return 0;
  if (!IsEmptyWalk(walk)) pass(walk, channels, table);
  return 1;
}

int RunWordTablePass(const PixelWalk& walk, int channels, const uint16_t* table, int tableSize) {
  if (!IsUsableWalk(walk, 2 * channels)) return 0;
  if (!IsEmptyWalk(walk)) MapWordTable(walk, channels, table, tableSize);
  return 1;
}

namespace {

uint16_t MapWord(const uint8_t* source, const uint16_t* table, uint32_t last) {
  uint16_t sample;
  std::memcpy(&sample, source, sizeof sample);
  return table[std::min<uint32_t>(sample, last)];
}

void MapWordRun(uint8_t* destination, const uint8_t* source, int count, const uint16_t* table, uint32_t last) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const uint16_t mapped[4] = {MapWord(source + 2 * i, table, last), MapWord(source + 2 * i + 2, table, last),
                                MapWord(source + 2 * i + 4, table, last), MapWord(source + 2 * i + 6, table, last)};
    std::memcpy(destination + 2 * i, mapped, sizeof mapped);
  }
  for (; i < count; ++i) {
    const uint16_t mapped = MapWord(source + 2 * i, table, last);
    std::memcpy(destination + 2 * i, &mapped, sizeof mapped);
  }
}

void MapWordPixels(uint8_t* destination, const uint8_t* source, int width, int channels, int destinationStep,
                   int sourceStep, const uint16_t* table, uint32_t last) {
  for (int x = 0; x < width; ++x) {
    for (int c = 0; c < channels; ++c) {
      const uint16_t mapped = MapWord(source + 2 * c, table, last);
      std::memcpy(destination + 2 * c, &mapped, sizeof mapped);
    }
    destination += destinationStep;
    source += sourceStep;
  }
}

}  // namespace

void MapWordTable(const PixelWalk& walk, int channels, const uint16_t* table, int tableSize) {
  const int width = walk.rect.Width();
  const uint32_t last = static_cast<uint32_t>(tableSize - 1);
  const bool packed = walk.destinationStep == 2 * channels && walk.sourceStep == 2 * channels;
  for (int y = walk.rect.top; y < walk.rect.bottom; ++y) {
    if (packed) {
      MapWordRun(walk.DestinationRow(y), walk.SourceRow(y), width * channels, table, last);
    } else {
      MapWordPixels(walk.DestinationRow(y), walk.SourceRow(y), width, channels, walk.destinationStep,
                    walk.sourceStep, table, last);
    }
  }
}

}  // namespace zirvo
