// The system's language, which picks the property dialogs' texts.
#pragma once

namespace zirvo::platform {

// Windows: the system default language is 1041. Elsewhere: the first of
// LC_ALL, LC_MESSAGES and LANG that is set begins with "ja".
bool SystemLanguageIsJapanese();

}  // namespace zirvo::platform
