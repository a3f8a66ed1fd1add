// 256-entry byte lookups with AVX2: sixteen 16-entry byte shuffles and a tree of ORs and blends per 32 bytes,
// or, for a table that only scales its index, a multiplication.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "convert/table_map.h"

namespace zirvo {

namespace {

// The table as sixteen rows of sixteen entries, each row in both halves.
struct ByteTableRows {
  __m256i row[16];
};

ByteTableRows LoadTable(const uint8_t* table) {
  ByteTableRows rows;
  for (int k = 0; k < 16; ++k) {
    rows.row[k] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table + 16 * k)));
  }
  return rows;
}

// Each row looked up by the low four bits, with the byte shuffle's zeroing
// (index bit 7) picking one of each pair of rows by bit 4, so that an OR
// joins them; then bits 5, 6 and 7 pick the row, one bit per level of
// blends: the blend reads bit 7 of each byte, so the index is shifted to
// bring them there in turn (16-bit shifts only spill into the low bits,
// which neither the shuffle nor the blend reads).
[[gnu::always_inline]] inline __m256i Lookup(const ByteTableRows& t, __m256i index) {
  const __m256i top = _mm256_set1_epi8(static_cast<char>(0x80));
  const __m256i low = _mm256_and_si256(index, _mm256_set1_epi8(0x0F));
  const __m256i even = _mm256_or_si256(low, _mm256_and_si256(_mm256_slli_epi16(index, 3), top));
  const __m256i odd = _mm256_xor_si256(even, top);
  __m256i level[8];
  for (int k = 0; k < 8; ++k) {
    level[k] = _mm256_or_si256(_mm256_shuffle_epi8(t.row[2 * k], even), _mm256_shuffle_epi8(t.row[2 * k + 1], odd));
  }
  const __m256i bit5 = _mm256_slli_epi16(index, 2);
  for (int k = 0; k < 4; ++k) level[k] = _mm256_blendv_epi8(level[2 * k], level[2 * k + 1], bit5);
  const __m256i bit6 = _mm256_slli_epi16(index, 1);
  for (int k = 0; k < 2; ++k) level[k] = _mm256_blendv_epi8(level[2 * k], level[2 * k + 1], bit6);
  return _mm256_blendv_epi8(level[0], level[1], index);
}

// Maps `count` bytes with `map`; with Keep, bytes where `kept` has its top
// bit set keep the destination's value. The last partial block goes through
// a small buffer so nothing outside the run is read or written.
template <bool Keep, typename Map>
[[gnu::always_inline]] inline void MapRun(uint8_t* destination, const uint8_t* source, int64_t count, __m256i kept,
                                          Map map) {
  const auto merge = [kept](__m256i mapped, const uint8_t* before) {
    if constexpr (Keep) {
      return _mm256_blendv_epi8(mapped, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(before)), kept);
    } else {
      return mapped;
    }
  };
  int64_t i = 0;
  for (; i + 32 <= count; i += 32) {
    const __m256i mapped = map(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + i)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination + i), merge(mapped, destination + i));
  }
  if (i == count) return;
  const size_t left = static_cast<size_t>(count - i);
  alignas(32) uint8_t in[32] = {};
  alignas(32) uint8_t out[32];
  std::memcpy(in, source + i, left);
  std::memcpy(out, destination + i, left);
  const __m256i mapped = map(_mm256_load_si256(reinterpret_cast<const __m256i*>(in)));
  _mm256_store_si256(reinterpret_cast<__m256i*>(out), merge(mapped, out));
  std::memcpy(destination + i, out, left);
}

template <bool Keep>
void LookUpRun(uint8_t* destination, const uint8_t* source, int64_t count, __m256i kept, const ByteTableRows& t) {
  MapRun<Keep>(destination, source, count, kept, [&t](__m256i bytes) { return Lookup(t, bytes); });
}

// A table t[i] = min(255, (i * M) >> 16), as brightness makes, applied as
// i * whole + ((i * fraction) >> 16) on 16-bit lanes, saturated to a byte
// by the pack. M below 128 * 65536 keeps every sum below 32768, where the
// signed pack reads it right.
struct ByteScale {
  uint16_t whole;
  uint16_t fraction;
};

constexpr int64_t kScaleLimit = int64_t{128} << 16;

uint32_t Scaled(uint32_t index, int64_t factor) {
  const int64_t value = (index * factor) >> 16;
  return static_cast<uint32_t>(value < 255 ? value : 255);
}

// The smallest factor that every unsaturated entry allows, checked against
// the whole table; false when no factor gives exactly the table.
bool FindByteScale(const uint8_t* table, ByteScale* scale) {
  if (table[0] != 0) return false;
  int64_t lowest = 0;
  int64_t highest = kScaleLimit - 1;
  for (int64_t i = 1; i < 256 && lowest <= highest; ++i) {
    if (table[i] == 255) continue;
    lowest = std::max(lowest, (table[i] * int64_t{65536} + i - 1) / i);
    highest = std::min(highest, ((table[i] + 1) * int64_t{65536} + i - 1) / i - 1);
  }
  if (lowest > highest) return false;
  for (uint32_t i = 0; i < 256; ++i) {
    if (Scaled(i, lowest) != table[i]) return false;
  }
  scale->whole = static_cast<uint16_t>(lowest >> 16);
  scale->fraction = static_cast<uint16_t>(lowest & 0xFFFF);
  return true;
}

[[gnu::always_inline]] inline __m256i ScaleWords(__m256i words, __m256i whole, __m256i fraction) {
  return _mm256_add_epi16(_mm256_mullo_epi16(words, whole), _mm256_mulhi_epu16(words, fraction));
}

[[gnu::always_inline]] inline __m256i Scale(__m256i bytes, __m256i whole, __m256i fraction) {
  const __m256i zero = _mm256_setzero_si256();
  return _mm256_packus_epi16(ScaleWords(_mm256_unpacklo_epi8(bytes, zero), whole, fraction),
                             ScaleWords(_mm256_unpackhi_epi8(bytes, zero), whole, fraction));
}

// A factor below 2: i + ((i * fraction) >> 16), the second part below 255,
// so a saturating byte addition does the limit.
[[gnu::always_inline]] inline __m256i ScaleBelowTwo(__m256i bytes, __m256i fraction) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i part = _mm256_packus_epi16(_mm256_mulhi_epu16(_mm256_unpacklo_epi8(bytes, zero), fraction),
                                           _mm256_mulhi_epu16(_mm256_unpackhi_epi8(bytes, zero), fraction));
  return _mm256_adds_epu8(bytes, part);
}

template <bool Keep>
void ScaleRun(uint8_t* destination, const uint8_t* source, int64_t count, __m256i kept, ByteScale scale) {
  const __m256i whole = _mm256_set1_epi16(static_cast<int16_t>(scale.whole));
  const __m256i fraction = _mm256_set1_epi16(static_cast<int16_t>(scale.fraction));
  if (scale.whole == 1) {
    MapRun<Keep>(destination, source, count, kept, [&](__m256i bytes) { return ScaleBelowTwo(bytes, fraction); });
  } else {
    MapRun<Keep>(destination, source, count, kept, [&](__m256i bytes) { return Scale(bytes, whole, fraction); });
  }
}

// Thirty-two bytes are read before any is written: only in place or apart
// is that what the byte-by-byte order gives.
bool BlocksKeepTheOrder(const uint8_t* destination, const uint8_t* source, int64_t count) {
  const uintptr_t out = reinterpret_cast<uintptr_t>(destination);
  const uintptr_t in = reinterpret_cast<uintptr_t>(source);
  const uintptr_t apart = out > in ? out - in : in - out;
  return apart == 0 || apart >= static_cast<uintptr_t>(count);
}

}  // namespace

void MapByteTableAvx2(const PixelWalk& walk, int channels, const uint8_t* table) {
  const bool sameStep = walk.destinationStep == walk.sourceStep;
  const bool packed = sameStep && walk.sourceStep == channels;
  const bool quads = sameStep && walk.sourceStep == 4 && channels == 3;
  const int64_t count = static_cast<int64_t>(walk.rect.Width()) * walk.sourceStep;
  // Rows shorter than a vector (the pipeline's edge columns) are not worth
  // looking the table over for.
  if ((!packed && !quads) || count < 32) {
    MapByteTable(walk, channels, table);
    return;
  }
  ByteScale scale{};
  const bool scales = FindByteScale(table, &scale);
  const ByteTableRows rows = LoadTable(table);
  const __m256i kept = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  for (int y = walk.rect.top; y < walk.rect.bottom; ++y) {
    uint8_t* destination = walk.DestinationRow(y);
    const uint8_t* source = walk.SourceRow(y);
    if (BlocksKeepTheOrder(destination, source, count)) {
      if (scales) {
        quads ? ScaleRun<true>(destination, source, count, kept, scale)
              : ScaleRun<false>(destination, source, count, kept, scale);
      } else {
        quads ? LookUpRun<true>(destination, source, count, kept, rows)
              : LookUpRun<false>(destination, source, count, kept, rows);
      }
    } else {
      for (int64_t x = 0; x < count; x += walk.sourceStep) {
        for (int c = 0; c < channels; ++c) destination[x + c] = table[source[x + c]];
      }
    }
  }
}

}  // namespace zirvo
