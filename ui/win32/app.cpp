// Start-up of the Win32 dialog layer: window classes, the screen's DPI,
// thread checks, failures shown from handlers, and event pumping. The
// keyboard handling of our forms is in keyboard.cpp.
#include "ui/app.h"

#include <exception>
#include <mutex>
#include <string>

#include "ui/handler_failure.h"
#include "ui/win32/internal.h"

#include <commctrl.h>

namespace dg::ui {
namespace win32 {

LRESULT CALLBACK FormWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);  // form.cpp

HINSTANCE ModuleInstance() {
    static const HINSTANCE module = [] {
        HMODULE handle = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&ModuleInstance), &handle);
        return handle;
    }();
    return module;
}

void RegisterClassesOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        INITCOMMONCONTROLSEX controls{sizeof controls,
                                      ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSEXW cls{};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = &FormWindowProc;
        cls.hInstance = ModuleInstance();
        cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        cls.lpszClassName = kFormClassName;
        RegisterClassExW(&cls);
        // A window class, a hook and thread state of ours now live in the
        // process: the module must stay loaded even when a host frees it.
        HMODULE pinned = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&RegisterClassesOnce), &pinned);
    });
}

int ScreenDpi() {
    thread_local int dpi = 0;
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen) ReleaseDC(nullptr, screen);
        if (dpi <= 0) dpi = 96;
    }
    return dpi;
}

void RequireThread(DWORD thread, const char* what) {
    if (GetCurrentThreadId() != thread)
        throw UiError(kStatusWrongThread, FailureText("不能从创建窗体的线程以外的线程调用对话框", what));
}

void RunHandler(const std::function<void()>& handler) noexcept { detail::RunAndReport(handler); }

}  // namespace win32

namespace detail {
FormState* FormOfWindow(HWND hwnd) {
    if (!hwnd) return nullptr;
    HWND root = GetAncestor(hwnd, GA_ROOT);
    wchar_t cls[32] = {};
    if (!root || !GetClassNameW(root, cls, 32) || std::wstring_view(cls) != win32::kFormClassName) return nullptr;
    return reinterpret_cast<FormState*>(GetWindowLongPtrW(root, GWLP_USERDATA));
}
}  // namespace detail

// Every Windows session has a window station and a desktop to show dialogs on.
DisplayCheck CheckDisplay() { return DisplayCheck{true, {}, {}}; }
bool DisplayAvailable() { return true; }

void EnsureGui() { win32::RegisterClassesOnce(); }

int ProcessEvents(int maxMs) {
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(maxMs > 0 ? maxMs : 0);
    // A wait that began with forms open ends early once the last one has gone.
    const bool untilClosed = maxMs > 0 && !detail::OpenForms().empty();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));  // the host's loop must see it
                return static_cast<int>(detail::OpenForms().size());
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline || (untilClosed && detail::OpenForms().empty())) break;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(deadline - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    return static_cast<int>(detail::OpenForms().size());
}

}  // namespace dg::ui
