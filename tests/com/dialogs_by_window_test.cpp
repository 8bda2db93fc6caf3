// The dialogs as a host with visual styles sees them through the registered
// DLL: its own window, a common controls 6 activation context, and the
// dialogs found and driven by window only.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

std::wstring ExeDir() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path().wstring();
}
DWORD Regsvr32(const std::wstring& args) {
    wchar_t dir[MAX_PATH];
    GetSystemDirectoryW(dir, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(dir) + L"\\regsvr32.exe\" /s " + args + L" \"" + ExeDir() + L"\\Dutygate.dll\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return ~0u;
    DWORD code = ~0u;
    WaitForSingleObject(pi.hProcess, 60000), GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess), CloseHandle(pi.hThread);
    return code;
}
HWND Form(const wchar_t* title) { return FindWindowW(L"DutygateForm", title); }
HWND Control(HWND form, const wchar_t* name) {
    for (HWND c = GetWindow(form, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t text[64] = L"";
        const auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(c, L"DutygateControl")));
        if (atom && GlobalGetAtomNameW(atom, text, 64) && lstrcmpW(text, name) == 0) return c;
    }
    return nullptr;
}
// The colours a control paints itself with, into a bitmap of its own.
std::vector<COLORREF> Colours(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right - r.left, r.bottom - r.top);
    SelectObject(dc, bitmap);
    SendMessageW(control, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND);
    std::vector<COLORREF> seen;
    for (int y = 0; y < r.bottom - r.top; ++y)
        for (int x = 0; x < r.right - r.left; ++x) seen.push_back(GetPixel(dc, x, y));
    DeleteDC(dc), DeleteObject(bitmap), ReleaseDC(nullptr, screen);
    return seen;
}
bool Has(const std::vector<COLORREF>& seen, COLORREF c) { return std::find(seen.begin(), seen.end(), c) != seen.end(); }

std::function<bool()> g_step;  // run from the timer until it answers true
void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    static bool busy = false;  // a step that clicks may open a nested loop
    if (busy || !g_step) return;
    busy = true;
    if (g_step()) g_step = nullptr;
    busy = false;
}
HRESULT Call(IDispatch* d, const wchar_t* name) {
    DISPID id = 0;
    if (FAILED(d->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&name), 1, 0, &id))) return E_FAIL;
    DISPPARAMS none{};
    return d->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
}
IDispatch* Create(const wchar_t* progid) {
    CLSID clsid{};
    IDispatch* d = nullptr;
    CLSIDFromProgID(progid, &clsid);
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&d));
    return d;
}

TEST(ComDialogs, AThemedHostSeesStackingBorderColoursAndOwners) {
    const auto dir = std::filesystem::temp_directory_path() / ("dgwin" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(dir);
    SetCurrentDirectoryW(dir.c_str());
    std::ofstream(dir / "themed.manifest")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" "
           "manifestVersion=\"1.0\"><dependency><dependentAssembly><assemblyIdentity type=\"win32\" "
           "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"*\" "
           "publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/></dependentAssembly></dependency></assembly>";
    const std::wstring manifest = (dir / "themed.manifest").wstring();
    ACTCTXW actctx{};
    actctx.cbSize = sizeof actctx;
    actctx.lpSource = manifest.c_str();
    HANDLE context = CreateActCtxW(&actctx);
    ULONG_PTR cookie = 0;
    ASSERT_NE(context, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(ActivateActCtx(context, &cookie));
    ASSERT_EQ(Regsvr32(L""), 0u);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HWND host = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                nullptr, nullptr, nullptr);
    IDispatch* password = Create(L"Dutygate.clsPassword");
    IDispatch* shift = Create(L"Dutygate.clsShiftClass");
    ASSERT_TRUE(password && shift);
    ASSERT_EQ(Call(shift, L"ShowSetClass"), S_OK);
    HWND settings = Form(L"换班设置");
    ASSERT_TRUE(settings);
    const auto frame = Colours(Control(settings, L"Frame1"));
    EXPECT_TRUE(Has(frame, RGB(255, 255, 0)) && Has(frame, RGB(128, 128, 255))) << "yellow caption on blue";
    SetActiveWindow(host);
    UINT_PTR timer = SetTimer(nullptr, 0, 50, &Tick);

    g_step = [] {
        HWND login = Form(L"用户登陆");
        if (!login || !IsWindowVisible(login)) return false;
        HWND combo = Control(login, L"Combo1"), label = Control(login, L"lblLabels_0");
        HWND cancel = Control(login, L"cmdCancel"), ok = Control(login, L"cmdOK");
        HWND first = nullptr;  // of the two, the one higher in the stacking order
        for (HWND c = GetWindow(login, GW_CHILD); c && !first; c = GetWindow(c, GW_HWNDNEXT))
            if (c == combo || c == label) first = c;
        EXPECT_EQ(first, combo) << "the combo lies over its label";
        EXPECT_EQ(GetFocus(), cancel);
        EXPECT_TRUE(SendMessageW(cancel, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) << "the border with the focus";
        EXPECT_FALSE(SendMessageW(ok, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);
        PostMessageW(cancel, BM_CLICK, 0, 0);
        return true;
    };
    EXPECT_EQ(Call(password, L"ShowDialog"), S_OK);
    g_step = [] {
        HWND revise = Form(L"修改密码");
        if (!revise || !IsWindowVisible(revise)) return false;
        HWND locked = Control(revise, L"Text1_1");
        EXPECT_TRUE(GetWindowLongW(locked, GWL_STYLE) & ES_READONLY);
        const auto seen = Colours(locked);
        EXPECT_TRUE(Has(seen, RGB(255, 255, 255)) && !Has(seen, GetSysColor(COLOR_BTNFACE))) << "a locked box is white";
        PostMessageW(Control(revise, L"Command2"), BM_CLICK, 0, 0);
        return true;
    };
    EXPECT_EQ(Call(password, L"ShowRevise"), S_OK);
    bool asked = false;
    g_step = [&] {
        if (HWND landing = Form(L"退出登陆"); landing && IsWindowVisible(landing)) {
            PostMessageW(Control(landing, L"Command1"), BM_CLICK, 0, 0);
            return false;
        }
        HWND box = FindWindowW(L"#32770", nullptr);
        if (!box || !IsWindowVisible(box)) return false;
        EXPECT_NE(GetWindow(box, GW_OWNER), settings) << "the question is not the settings dialog's";
        EXPECT_FALSE(IsWindowEnabled(host)) << "task-modal: the host waits for the answer";
        asked = true;
        PostMessageW(box, WM_COMMAND, IDNO, 0);
        return true;
    };
    EXPECT_EQ(Call(password, L"ShowLanding"), S_OK);
    EXPECT_TRUE(asked);
    KillTimer(nullptr, timer);
    PostMessageW(Control(settings, L"cmdExit"), BM_CLICK, 0, 0);
    for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
    password->Release(), shift->Release();
    DestroyWindow(host);
    CoUninitialize();
    EXPECT_EQ(Regsvr32(L"/u"), 0u);
    DeactivateActCtx(0, cookie), ReleaseActCtx(context);
    SetCurrentDirectoryW(ExeDir().c_str());
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

}  // namespace
