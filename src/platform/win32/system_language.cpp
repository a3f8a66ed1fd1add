// The system default language identifier.
#include "platform/system_language.h"

#include <windows.h>

namespace zirvo::platform {

bool SystemLanguageIsJapanese() { return GetSystemDefaultLangID() == 1041; }

}  // namespace zirvo::platform
