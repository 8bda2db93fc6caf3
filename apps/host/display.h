#pragma once
// Whether this process can open a window, checked before any QApplication
// exists (Qt aborts the process when its platform cannot start).
#include <string>

namespace dghost {

struct DisplayCheck {
    bool usable = false;
    std::string why;       // when not usable: what is missing
    std::string platform;  // the platform to ask Qt for ("" = QT_QPA_PLATFORM's choice)
};

// QT_QPA_PLATFORM, when set, names the platform: offscreen and minimal always
// work, xcb needs DISPLAY and an X server that accepts a connection, wayland
// needs WAYLAND_DISPLAY and Qt's Wayland plugin; any other name needs its
// plugin. Without it, an X server at DISPLAY will do (platform "xcb"), else a
// WAYLAND_DISPLAY with the Wayland plugin installed (platform "wayland").
DisplayCheck CheckDisplay();

}  // namespace dghost
