// Tests of the conversion between wide and multibyte text.
#include "platform/text.h"

#include <gtest/gtest.h>

namespace zirvo::platform {
namespace {

TEST(TextConversion, AsciiRoundTrips) {
  std::string narrow;
  ASSERT_TRUE(WideToMultiByte(L"Zirvo7730QX_01", narrow));
  EXPECT_EQ(narrow, "Zirvo7730QX_01");
  std::wstring wide;
  ASSERT_TRUE(MultiByteToWide(narrow, wide));
  EXPECT_EQ(wide, L"Zirvo7730QX_01");
}

TEST(TextConversion, NonAsciiIsUtf8WhateverTheLocale) {
  std::string narrow;
  ASSERT_TRUE(WideToMultiByte(L"\u00e9\u30ab\U0001F4F7", narrow));
  EXPECT_EQ(narrow, "\xC3\xA9\xE3\x82\xAB\xF0\x9F\x93\xB7");
  std::wstring wide;
  ASSERT_TRUE(MultiByteToWide(narrow, wide));
  EXPECT_EQ(wide, L"\u00e9\u30ab\U0001F4F7");
}

TEST(TextConversion, InvalidInputFailsAndLeavesTheOutput) {
  std::string narrow = "kept";
  EXPECT_FALSE(WideToMultiByte(std::wstring(1, static_cast<wchar_t>(0xD800)), narrow));
  EXPECT_FALSE(WideToMultiByte(std::wstring(1, static_cast<wchar_t>(0x110000)), narrow));
  EXPECT_EQ(narrow, "kept");
  std::wstring wide = L"kept";
  EXPECT_FALSE(MultiByteToWide("\xC3", wide));          // cut short
  EXPECT_FALSE(MultiByteToWide("\xC0\xAF", wide));      // overlong
  EXPECT_FALSE(MultiByteToWide("\xED\xA0\x80", wide));  // surrogate
  EXPECT_FALSE(MultiByteToWide("\xFF", wide));
  EXPECT_EQ(wide, L"kept");
}

TEST(TextConversion, EmptyTextConverts) {
  std::string narrow = "x";
  EXPECT_TRUE(WideToMultiByte(L"", narrow));
  EXPECT_TRUE(narrow.empty());
}

#if defined(_WIN32)
// Windows: UTF-16 on one side, the ANSI code page on the other.
TEST(TextConversion, UnpairedSurrogateFailsAndLeavesTheOutput) {
  std::string narrow = "kept";
  EXPECT_FALSE(WideToMultiByte(std::wstring(1, static_cast<wchar_t>(0xD800)), narrow));
  EXPECT_FALSE(WideToMultiByte(std::wstring{L'a', static_cast<wchar_t>(0xDC00), L'b'}, narrow));
  EXPECT_EQ(narrow, "kept");
}

TEST(TextConversion, DeviceNameLengthTextRoundTrips) {
  const std::wstring name(255, L'Z');
  std::string narrow;
  ASSERT_TRUE(WideToMultiByte(name, narrow));
  EXPECT_EQ(narrow, std::string(255, 'Z'));
  std::wstring wide;
  ASSERT_TRUE(MultiByteToWide(narrow, wide));
  EXPECT_EQ(wide, name);
}
#endif

}  // namespace
}  // namespace zirvo::platform
