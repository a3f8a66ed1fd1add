// The system language from the locale variables, in POSIX precedence.
#include "platform/system_language.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace zirvo::platform {

bool SystemLanguageIsJapanese() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return std::strncmp(value, "ja", 2) == 0;
  }
  return false;
}

}  // namespace zirvo::platform
