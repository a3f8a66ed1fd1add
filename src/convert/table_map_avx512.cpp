// 256-entry byte lookups with AVX-512 VBMI: four table registers, two permutes and a blend per 64 bytes.
#include <immintrin.h>

#include "convert/table_map.h"

namespace zirvo {

namespace {

struct ByteTableRegisters {
  __m512i quarter0, quarter1, quarter2, quarter3;
};

ByteTableRegisters LoadTable(const uint8_t* table) {
  return {_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64), _mm512_loadu_si512(table + 128),
          _mm512_loadu_si512(table + 192)};
}

__m512i Lookup(const ByteTableRegisters& t, __m512i index) {
  const __m512i low = _mm512_permutex2var_epi8(t.quarter0, index, t.quarter1);
  const __m512i high = _mm512_permutex2var_epi8(t.quarter2, index, t.quarter3);
  return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

// Maps `count` bytes; only bytes selected by `keep` (repeating every 64) are stored.
void MapRun(uint8_t* destination, const uint8_t* source, int64_t count, __mmask64 keep,
            const ByteTableRegisters& t) {
  int64_t i = 0;
  for (; i + 128 <= count; i += 128) {
    const __m512i a = Lookup(t, _mm512_loadu_si512(source + i));
    const __m512i b = Lookup(t, _mm512_loadu_si512(source + i + 64));
    _mm512_mask_storeu_epi8(destination + i, keep, a);
    _mm512_mask_storeu_epi8(destination + i + 64, keep, b);
  }
  for (; i < count; i += 64) {
    const int64_t left = count - i;
    const __mmask64 tail = left >= 64 ? ~__mmask64{0} : (__mmask64{1} << left) - 1;
    const __m512i mapped = Lookup(t, _mm512_maskz_loadu_epi8(tail, source + i));
    _mm512_mask_storeu_epi8(destination + i, tail & keep, mapped);
  }
}

}  // namespace

void MapByteTableAvx512Vbmi(const PixelWalk& walk, int channels, const uint8_t* table) {
  const bool sameStep = walk.destinationStep == walk.sourceStep;
  const bool packed = sameStep && walk.sourceStep == channels;
  const bool quads = sameStep && walk.sourceStep == 4 && channels == 3;
  if (!packed && !quads) {
    MapByteTable(walk, channels, table);
    return;
  }
  const ByteTableRegisters registers = LoadTable(table);
  const __mmask64 keep = quads ? __mmask64{0x7777777777777777ull} : ~__mmask64{0};
  const int64_t count = static_cast<int64_t>(walk.rect.Width()) * walk.sourceStep;
  for (int y = walk.rect.top; y < walk.rect.bottom; ++y) {
    MapRun(walk.DestinationRow(y), walk.SourceRow(y), count, keep, registers);
  }
}

}  // namespace zirvo
