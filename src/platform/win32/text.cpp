// Wide (UTF-16) text to and from the ANSI code page: WideCharToMultiByte, MultiByteToWideChar.
#include "platform/text.h"

#include <windows.h>

#include <limits>

namespace zirvo::platform {
namespace {

bool FitsInt(std::size_t size) { return size <= static_cast<std::size_t>(std::numeric_limits<int>::max()); }

}  // namespace

bool WideToMultiByte(std::wstring_view wide, std::string& out) {
  if (wide.empty()) {
    out.clear();
    return true;
  }
  if (!FitsInt(wide.size())) return false;
  const int length = static_cast<int>(wide.size());
  // No best-fit substitutes: a character the code page lacks is a failure, not
  // a look-alike. A UTF-8 ANSI code page takes neither that flag nor the
  // default-character report, and refuses invalid UTF-16 instead.
  const bool utf8 = ::GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultReport = utf8 ? nullptr : &usedDefault;
  const int bytes = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), length, nullptr, 0,
                                          nullptr, usedDefaultReport);
  if (bytes <= 0 || usedDefault) return false;
  std::string converted(static_cast<std::size_t>(bytes), '\0');
  if (::WideCharToMultiByte(CP_ACP, flags, wide.data(), length, converted.data(), bytes,
                            nullptr, usedDefaultReport) != bytes ||
      usedDefault) {
    return false;
  }
  out = std::move(converted);
  return true;
}

bool MultiByteToWide(std::string_view text, std::wstring& out) {
  if (text.empty()) {
    out.clear();
    return true;
  }
  if (!FitsInt(text.size())) return false;
  const int length = static_cast<int>(text.size());
  const int characters =
      ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (characters <= 0) return false;
  std::wstring converted(static_cast<std::size_t>(characters), L'\0');
  if (::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), length, converted.data(),
                            characters) != characters) {
    return false;
  }
  out = std::move(converted);
  return true;
}

}  // namespace zirvo::platform
