#pragma once
#include <string>

namespace dg::ui {

// Whether this process can open a window without the toolkit aborting it,
// judged from the environment alone, before any application exists. On Qt:
// QT_QPA_PLATFORM, when set, names the platform (offscreen and minimal always
// work, xcb needs an X server at DISPLAY that accepts a connection, wayland
// needs WAYLAND_DISPLAY, any other name needs its plugin); without it, an X
// server at DISPLAY will do, else WAYLAND_DISPLAY with Qt's Wayland plugin.
struct DisplayCheck {
    bool ok = false;
    std::string why;       // why not, when !ok
    std::string platform;  // a platform to ask for explicitly ("" = the toolkit's own choice)
};
DisplayCheck CheckDisplay();

// True when a QApplication exists already, or one could be created without
// aborting the process (offscreen/minimal platform, a reachable X display, or
// a Wayland display).
bool DisplayAvailable();

// Makes sure the GUI application exists (the host's, or one created on this
// thread, which must then be the process's main thread) and that the calling
// thread is its thread. Throws UiError with a clear description otherwise
// (kStatusFail without a display, kStatusWrongThread on another thread).
void EnsureGui();

// Runs pending dialog events for up to maxMs milliseconds (0: only what is
// pending now), for hosts without their own event loop. Returns the number of
// top-level dialog windows still open, or -1 when there is no GUI or the
// caller is not on the GUI thread.
int ProcessEvents(int maxMs);

}  // namespace dg::ui
