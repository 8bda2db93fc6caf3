// The soak as a Windows host runs the component: each round creates both
// objects through the automation runtime (the DLL registered by regsvr32),
// shows the three dialogs and leaves each by its own button, found by window
// (at the login after a wrong password and its message box), polls the shift
// schedule and releases the objects. After every round it prints the heap in
// use (every heap of the process, walked), the kernel handles (probed), the
// threads and the windows of the process, counted here because
// GetGuiResources answers 0 under Wine.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "../com/by_window.h"
#include "soak_figures.h"

namespace {

double HeapInUseKiB() {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    double bytes = 0;
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
        HeapUnlock(heap);
    }
    return bytes / 1024.0;
}

// Handle values are handed out lowest free first, so the probe stops after a
// long run of unused ones.
long KernelHandles() {
    long n = 0;
    DWORD flags = 0;
    for (UINT_PTR value = 4, unused = 0; unused < 1024; value += 4)
        GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? (++n, unused = 0) : ++unused;
    return n;
}

long Threads() {
    long n = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    CloseHandle(snapshot);
    return n;
}

BOOL CALLBACK CountChild(HWND, LPARAM count) { return ++*reinterpret_cast<long*>(count), TRUE; }
BOOL CALLBACK CountOwn(HWND window, LPARAM count) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) {
        ++*reinterpret_cast<long*>(count);
        EnumChildWindows(window, &CountChild, count);
    }
    return TRUE;
}

soak::Figures Measure() {
    soak::Figures figures;
    figures.heapKiB = HeapInUseKiB();
    figures.handles = KernelHandles();
    figures.threads = Threads();
    EnumWindows(&CountOwn, reinterpret_cast<LPARAM>(&figures.windows));
    return figures;
}

IDispatch* Create(const wchar_t* progid) {
    CLSID clsid{};
    IDispatch* object = nullptr;
    if (FAILED(CLSIDFromProgID(progid, &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&object))))
        std::fprintf(stderr, "no object for %ls\n", progid), std::exit(1);
    return object;
}

bool Open(const wchar_t* title) {
    HWND form = FindWindowW(L"DutygateForm", title);
    return form && IsWindowVisible(form);
}

// What the operator does on the open form, a step at each tick; true once
// the last button is pressed.
using Hand = std::function<bool(HWND form)>;

Hand Leave(const wchar_t* button) {
    return [button](HWND form) { return PostMessageW(by_window::Control(form, button), BM_CLICK, 0, 0) != FALSE; };
}

HWND OwnMessageBox() {
    HWND box = FindWindowW(L"#32770", nullptr);
    DWORD process = 0;
    if (box) GetWindowThreadProcessId(box, &process);
    return box && IsWindowVisible(box) && process == GetCurrentProcessId() ? box : nullptr;
}

// At the login: a wrong password and 确定, the message box's OK, then 取消.
Hand MistypeThenLeave() {
    return [step = 0](HWND form) mutable {
        HWND box = OwnMessageBox();
        if (step == 0) {
            SetWindowTextW(by_window::Control(form, L"txtPassword"), L"wrong");
            PostMessageW(by_window::Control(form, L"cmdOK"), BM_CLICK, 0, 0);
            step = 1;
        } else if (step == 1 && box) {
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            step = 2;
        } else if (step == 2 && !box) {
            return Leave(L"cmdCancel")(form);
        }
        return false;
    };
}

// Calls `member`, which shows the form titled `title` (modal or modeless),
// lets the hand act on it once it is open, and returns when it has closed.
void ShowAndLeave(IDispatch* object, const wchar_t* member, const wchar_t* title, Hand hand) {
    bool done = false;
    const HRESULT hr = by_window::Call(object, member, title, [&](HWND form) { return done = hand(form); });
    const ULONGLONG deadline = GetTickCount64() + 10000;
    MSG message;
    while (SUCCEEDED(hr) && (!done || Open(title)) && GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) TranslateMessage(&message), DispatchMessageW(&message);
    }
    if (FAILED(hr) || !done || Open(title)) {
        std::fprintf(stderr, "%ls: 0x%08lx, %s\n", member, hr, done ? "the form stayed open" : "the form was not left");
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const soak::Options options = soak::ParseOptions(argc, argv);
    const auto folder = std::filesystem::temp_directory_path() / ("dutygate-soak-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    SetCurrentDirectoryW(folder.c_str());
    if (by_window::Regsvr32(L"") != 0) return std::fprintf(stderr, "regsvr32 failed\n"), 1;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, &by_window::Tick);

    soak::Log log(options);
    for (int round = 0; round < options.rounds; ++round) {
        IDispatch* password = Create(L"Dutygate.clsPassword");
        IDispatch* shift = Create(L"Dutygate.clsShiftClass");
        ShowAndLeave(password, L"ShowDialog", L"用户登陆", MistypeThenLeave());
        ShowAndLeave(password, L"ShowRevise", L"修改密码", Leave(L"Command2"));
        ShowAndLeave(shift, L"ShowSetClass", L"换班设置", Leave(L"cmdExit"));
        for (int i = 0; i < options.polls; ++i) by_window::Call(shift, L"ShiftClass");
        password->Release();
        shift->Release();
        log.Add(Measure());
    }
    KillTimer(nullptr, timer);
    CoUninitialize();
    by_window::Regsvr32(L"/u");
    SetCurrentDirectoryW(by_window::ExeDir().c_str());
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
#ifdef _WIN64
    return log.Verdict("Win32 dialogs, x64");
#else
    return log.Verdict("Win32 dialogs, x86");
#endif
}
