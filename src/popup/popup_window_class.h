// The window class of popups: registered on first use in this module, and at unload
// every popup window of the unloading thread is destroyed and the class unregistered,
// so that no message reaches code that is gone.
#pragma once

#include <windows.h>

namespace zandle::popup {

// The class atom, registered with `procedure` on first call; 0 when registration fails.
ATOM PopupWindowClass(WNDPROC procedure) noexcept;

// Destroys this thread's popup windows and unregisters the class (also done at unload).
void ReleasePopupWindowClass() noexcept;

}  // namespace zandle::popup
