// Conversion between wide text and the platform's multibyte text.
#pragma once

#include <string>
#include <string_view>

namespace zirvo::platform {

// Multibyte text is the ANSI code page on Windows and UTF-8 elsewhere,
// whatever the process locale. False, with `out` unchanged, when the text
// cannot be represented in the other form.
bool WideToMultiByte(std::wstring_view wide, std::string& out);
bool MultiByteToWide(std::string_view text, std::wstring& out);

}  // namespace zirvo::platform
