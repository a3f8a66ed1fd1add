// Showing a property dialog in the system's toolkit, modally on the caller's
// thread: Win32 dialogs on Windows, GTK 3 elsewhere (a module of ours loaded
// when the first dialog opens, so the library itself never needs a desktop).
#pragma once

#include <string>

#include "platform/message_window.h"
#include "settings/dialogs/dialog_form.h"

namespace zirvo {

// Name of the GTK module, looked for beside the library.
inline constexpr const char* kGtkDialogModule = "libZirvoSdk_USB3_7730QX_dialogs.so";
// The module's one export: shows `sheet` until it has a result; 1 then, 0
// when no display can be opened. `parentX11Window` 0 means no owner.
inline constexpr const char* kGtkDialogEntry = "ZirvoDialogs_RunModal";
using GtkDialogEntry = int (*)(DialogSheet* sheet, unsigned long parentX11Window);

// The texts of the system's language.
DialogLanguage SystemDialogLanguage();

// 1 once the user has closed the dialog (its Result says how); 0 when it
// could not be shown: no toolkit, no display.
int RunModalDialog(DialogSheet& sheet, platform::WindowHandle parent);

// Tests load the module from the build tree; empty restores the default.
void SetDialogModulePath(const std::string& path);

}  // namespace zirvo
