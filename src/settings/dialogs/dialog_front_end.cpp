// Finding and running the toolkit front end of the property dialogs.
#include "settings/dialogs/dialog_front_end.h"

#include <memory>
#include <mutex>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/module_location.h"
#include "platform/never_destroyed.h"
#include "platform/system_language.h"
#include "platform/window.h"

namespace zirvo {

#ifdef _WIN32
int RunWin32Dialog(DialogSheet& sheet, platform::WindowHandle parent);
#endif

#ifndef _WIN32
namespace {

struct GtkModule {
  std::mutex lock;
  std::string pathOverride;                        // guarded by lock
  // Every module loaded, never unloaded: GTK cannot leave a process safely.
  std::vector<std::unique_ptr<platform::DynamicLibrary>> loaded;  // guarded by lock
  GtkDialogEntry entry = nullptr;                  // guarded by lock
};

GtkModule& Module() {
  static platform::NeverDestroyed<GtkModule> module;
  return module.get();
}

GtkDialogEntry FindGtkEntry() {
  GtkModule& module = Module();
  std::lock_guard lock(module.lock);
  if (module.entry) return module.entry;
  const std::string path =
      module.pathOverride.empty() ? platform::ThisModuleFolder() + kGtkDialogModule : module.pathOverride;
  std::unique_ptr<platform::DynamicLibrary> library = platform::LoadDynamicLibrary(path.c_str());
  if (!library) return nullptr;
  module.entry = reinterpret_cast<GtkDialogEntry>(library->FindExport(kGtkDialogEntry));
  if (module.entry) module.loaded.push_back(std::move(library));
  return module.entry;
}

}  // namespace
#endif

DialogLanguage SystemDialogLanguage() {
  return platform::SystemLanguageIsJapanese() ? DialogLanguage::kJapanese : DialogLanguage::kEnglish;
}

int RunModalDialog(DialogSheet& sheet, platform::WindowHandle parent) {
#ifdef _WIN32
  return RunWin32Dialog(sheet, parent);
#else
  GtkDialogEntry entry = FindGtkEntry();
  if (!entry) return 0;
  return entry(&sheet, platform::X11WindowOf(parent)) == 1 ? 1 : 0;
#endif
}

void SetDialogModulePath(const std::string& path) {
#ifdef _WIN32
  (void)path;  // the Win32 dialogs are part of the library itself
#else
  GtkModule& module = Module();
  std::lock_guard lock(module.lock);
  if (module.pathOverride == path) return;
  module.pathOverride = path;
  module.entry = nullptr;
#endif
}

}  // namespace zirvo
