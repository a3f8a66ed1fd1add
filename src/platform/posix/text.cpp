// Wide text (UTF-32 wchar_t) to and from UTF-8, independent of the locale.
#include "platform/text.h"

#include <cstdint>

namespace zirvo::platform {
namespace {

static_assert(sizeof(wchar_t) == 4, "wide text is UTF-32 here");

bool IsScalarValue(uint32_t code) { return code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF); }

void AppendUtf8(uint32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Decodes one UTF-8 sequence at `text[at]`; false for malformed or overlong input.
bool DecodeUtf8(std::string_view text, std::size_t& at, uint32_t& code) {
  auto byte = [&](std::size_t i) { return static_cast<uint8_t>(text[i]); };
  uint8_t lead = byte(at);
  std::size_t length;
  uint32_t minimum;
  if (lead < 0x80) {
    code = lead;
    ++at;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    return false;
  }
  if (text.size() - at < length) return false;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return false;
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  if (code < minimum || !IsScalarValue(code)) return false;
  at += length;
  return true;
}

}  // namespace

bool WideToMultiByte(std::wstring_view wide, std::string& out) {
  std::string converted;
  converted.reserve(wide.size());
  for (wchar_t character : wide) {
    auto code = static_cast<uint32_t>(character);
    if (!IsScalarValue(code)) return false;
    AppendUtf8(code, converted);
  }
  out = std::move(converted);
  return true;
}

bool MultiByteToWide(std::string_view text, std::wstring& out) {
  std::wstring converted;
  converted.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    uint32_t code;
    if (!DecodeUtf8(text, at, code)) return false;
    converted += static_cast<wchar_t>(code);
  }
  out = std::move(converted);
  return true;
}

}  // namespace zirvo::platform
