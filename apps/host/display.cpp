#include "display.h"

#include <QLibraryInfo>
#include <QString>

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

namespace dghost {
namespace {

const char* Env(const char* name) {
    const char* value = std::getenv(name);
    return (value && *value) ? value : nullptr;
}

// Connects to the X server named by DISPLAY and disconnects again. libxcb is
// opened at run time: the host does not link it, Qt's xcb plugin does.
bool XServerAnswers(std::string& why) {
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    void* lib = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        why = "libxcb.so.1 cannot be loaded";
        return false;
    }
    auto connect = reinterpret_cast<Connect>(dlsym(lib, "xcb_connect"));
    auto hasError = reinterpret_cast<HasError>(dlsym(lib, "xcb_connection_has_error"));
    auto disconnect = reinterpret_cast<Disconnect>(dlsym(lib, "xcb_disconnect"));
    if (!connect || !hasError || !disconnect) {
        why = "libxcb.so.1 lacks xcb_connect";
        return false;
    }
    void* connection = connect(nullptr, nullptr);
    const bool ok = connection && hasError(connection) == 0;
    if (connection) disconnect(connection);
    if (!ok) why = std::string("the X server at DISPLAY=") + Env("DISPLAY") + " refuses the connection";
    return ok;
}

// Whether Qt's platform plugin file (libqxcb.so, libqwayland-generic.so) is
// found where Qt looks for it.
bool PluginInstalled(const std::string& fileName) {
    std::vector<std::string> dirs;
    if (const char* dir = Env("QT_QPA_PLATFORM_PLUGIN_PATH")) dirs.push_back(dir);
    if (const char* paths = Env("QT_PLUGIN_PATH")) {
        std::stringstream list(paths);
        std::string dir;
        while (std::getline(list, dir, ':')) {
            if (!dir.empty()) dirs.push_back(dir + "/platforms");
        }
    }
    dirs.push_back(QLibraryInfo::path(QLibraryInfo::PluginsPath).toStdString() + "/platforms");
    std::error_code ec;
    for (const std::string& dir : dirs) {
        if (std::filesystem::exists(std::filesystem::path(dir) / fileName, ec)) return true;
    }
    return false;
}

bool PlatformUsable(const std::string& name, std::string& why) {
    if (name == "offscreen" || name == "minimal") return true;
    if (name == "xcb") {
        if (!Env("DISPLAY")) {
            why = "xcb needs DISPLAY, which is not set";
            return false;
        }
        return XServerAnswers(why);
    }
    if (name.rfind("wayland", 0) == 0) {
        if (Env("WAYLAND_DISPLAY")) return true;
        why = "wayland needs WAYLAND_DISPLAY, which is not set";
        return false;
    }
    // eglfs, linuxfb, vnc: chosen on purpose, usable when installed.
    if (PluginInstalled("libq" + name + ".so")) return true;
    why = "the Qt platform plugin '" + name + "' is not installed";
    return false;
}

}  // namespace

DisplayCheck CheckDisplay() {
    DisplayCheck check;
    if (const char* qpa = Env("QT_QPA_PLATFORM")) {
        // "name[:options]", possibly several separated by ';', tried in turn.
        std::stringstream entries(qpa);
        std::string entry;
        std::string reasons;
        while (std::getline(entries, entry, ';')) {
            const std::string name = entry.substr(0, entry.find(':'));
            if (name.empty()) continue;
            std::string why;
            if (PlatformUsable(name, why)) {
                check.usable = true;
                return check;
            }
            reasons += (reasons.empty() ? "" : "; ") + why;
        }
        check.why = std::string("QT_QPA_PLATFORM=") + qpa + ": " + reasons;
        return check;
    }
    std::string xWhy = "DISPLAY is not set";
    if (Env("DISPLAY") && XServerAnswers(xWhy)) {
        check.usable = true;
        check.platform = "xcb";
        return check;
    }
    if (Env("WAYLAND_DISPLAY")) {
        if (PluginInstalled("libqwayland-generic.so")) {
            check.usable = true;
            check.platform = "wayland";
            return check;
        }
        check.why = xWhy + ", and WAYLAND_DISPLAY is set but Qt's Wayland platform plugin is not installed";
        return check;
    }
    check.why = xWhy + ", WAYLAND_DISPLAY is not set, and QT_QPA_PLATFORM is not set";
    return check;
}

}  // namespace dghost
