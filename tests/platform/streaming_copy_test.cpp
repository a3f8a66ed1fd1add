// The streaming-store copy: every byte, whatever the alignment, nothing beside.
#include "platform/streaming_copy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace zirvo::platform {
namespace {

constexpr uint8_t kGuard = 0xA5;
constexpr std::size_t kMargin = 64;

std::vector<uint8_t> Pattern(std::size_t bytes) {
  std::vector<uint8_t> pattern(bytes);
  // Not a multiple of any vector width, so a misplaced block shows.
  for (std::size_t i = 0; i < bytes; ++i) pattern[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return pattern;
}

// Sizes around the head, the 16-byte steps and the 64-byte turns.
TEST(StreamingCopy, EveryAlignmentAndSizeCopiesExactlyTheBytes) {
  const std::size_t sizes[] = {0, 1, 2, 15, 16, 17, 31, 47, 63, 64, 65, 79, 127, 128, 129, 1000, 4099};
  for (std::size_t bytes : sizes) {
    const std::vector<uint8_t> source = Pattern(bytes + 16);
    for (std::size_t sourceOffset = 0; sourceOffset < 16; sourceOffset += 5) {
      for (std::size_t destinationOffset = 0; destinationOffset < 16; ++destinationOffset) {
        std::vector<uint8_t> destination(kMargin + bytes + kMargin, kGuard);
        CopyStreaming(destination.data() + kMargin + destinationOffset, source.data() + sourceOffset, bytes);
        SCOPED_TRACE(testing::Message() << "bytes " << bytes << " source +" << sourceOffset << " destination +"
                                        << destinationOffset);
        for (std::size_t i = 0; i < destination.size(); ++i) {
          const std::size_t start = kMargin + destinationOffset;
          const uint8_t expected = i >= start && i < start + bytes ? source[sourceOffset + i - start] : kGuard;
          ASSERT_EQ(destination[i], expected) << "at " << i;
        }
      }
    }
  }
}

TEST(StreamingCopy, AFrameSizedCopyMatchesItsSource) {
  const std::vector<uint8_t> source = Pattern(kStreamingCopyMinimumBytes + 12345);
  std::vector<uint8_t> destination(source.size() + 3, kGuard);
  CopyStreaming(destination.data() + 3, source.data(), source.size());
  EXPECT_TRUE(std::equal(source.begin(), source.end(), destination.begin() + 3));
  EXPECT_EQ(destination[0], kGuard);
  EXPECT_EQ(destination[2], kGuard);
}

}  // namespace
}  // namespace zirvo::platform
