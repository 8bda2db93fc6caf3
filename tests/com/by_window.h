#pragma once
// A host that reaches Dutygate.dll through regsvr32 and the automation
// runtime, and drives its dialogs by window: finds a form by its title and a
// control by the name each control window carries, from a timer that runs
// inside the dialog's own message loop.
#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>

namespace by_window {

inline std::wstring ExeDir() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path().wstring();
}

// regsvr32 [args] on the Dutygate.dll beside this program; its exit code.
inline DWORD Regsvr32(const std::wstring& args) {
    std::wstring command = L"regsvr32.exe /s " + args + L" \"" + ExeDir() + L"\\Dutygate.dll\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    DWORD code = ~0u;
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        WaitForSingleObject(pi.hProcess, 60000), GetExitCodeProcess(pi.hProcess, &code), CloseHandle(pi.hThread);
    return CloseHandle(pi.hProcess), code;
}

inline HWND Control(HWND form, const wchar_t* name) {
    wchar_t text[64] = L"";
    for (HWND c = GetWindow(form, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GlobalGetAtomNameW(static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(c, L"DutygateControl"))), text,
                               64) &&
            lstrcmpW(text, name) == 0)
            return c;
    return nullptr;
}

// Run from the timer on the visible form titled g_title until it answers true.
inline std::function<bool(HWND)> g_step;
inline const wchar_t* g_title = nullptr;
inline void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    HWND form = FindWindowW(L"DutygateForm", g_title);
    if (auto step = g_step; step && form && IsWindowVisible(form) && step(form)) g_step = nullptr;
}

// Invokes the method `name`; while it runs, `step` acts on the form `title`
// (Tick must be on a timer of this thread).
inline HRESULT Call(IDispatch* d, const wchar_t* name, const wchar_t* title = nullptr,
                    std::function<bool(HWND)> step = {}) {
    DISPID id = 0;
    DISPPARAMS none{};
    g_title = title, g_step = std::move(step);
    if (FAILED(d->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&name), 1, 0, &id))) return E_FAIL;
    return d->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
}

}  // namespace by_window
