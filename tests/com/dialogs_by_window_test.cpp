// The dialogs as a host with visual styles (a common controls 6 activation
// context) sees them through the registered DLL, found and driven by window.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "by_window.h"

namespace {
using namespace by_window;

bool Paints(HWND control, COLORREF colour) {  // the control painted into a bitmap of its own
    RECT r;
    GetWindowRect(control, &r);
    HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right - r.left, r.bottom - r.top);
    SelectObject(dc, bitmap);
    SendMessageW(control, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_NONCLIENT | PRF_ERASEBKGND);
    bool found = false;
    for (int y = 0; y < r.bottom - r.top && !found; ++y)
        for (int x = 0; x < r.right - r.left && !found; ++x) found = GetPixel(dc, x, y) == colour;
    return DeleteDC(dc), DeleteObject(bitmap), ReleaseDC(nullptr, screen), found;
}

TEST(ComDialogs, AThemedHostSeesStackingBorderColoursAndOwners) {
    const auto dir = std::filesystem::temp_directory_path() / ("dgwin" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(dir);
    SetCurrentDirectoryW(dir.c_str());
    std::ofstream(dir / "themed.manifest")
        << R"(<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0"><dependency><dependentAssembly>)"
           R"(<assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" )"
           R"(processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/></dependentAssembly></dependency></assembly>)";
    const std::wstring manifest = (dir / "themed.manifest").wstring();
    ACTCTXW actctx{};
    actctx.cbSize = sizeof actctx, actctx.lpSource = manifest.c_str();
    HANDLE context = CreateActCtxW(&actctx);
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(context != INVALID_HANDLE_VALUE && ActivateActCtx(context, &cookie));
    ASSERT_EQ(Regsvr32(L""), 0u);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HWND host = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                nullptr, nullptr, nullptr);
    CLSID clsid{};
    IDispatch *password = nullptr, *shift = nullptr;
    CLSIDFromProgID(L"Dutygate.clsPassword", &clsid);
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&password));
    CLSIDFromProgID(L"Dutygate.clsShiftClass", &clsid);
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&shift));
    ASSERT_TRUE(password && shift && Call(shift, L"ShowSetClass") == S_OK);
    HWND settings = FindWindowW(L"DutygateForm", L"换班设置");
    EXPECT_TRUE(Paints(Control(settings, L"Frame1"), RGB(255, 255, 0))) << "the frame caption yellow";
    SetActiveWindow(host);
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &Tick);

    EXPECT_EQ(
        Call(password, L"ShowDialog", L"用户登陆",
             [](HWND login) {
                 HWND combo = Control(login, L"Combo1"), label = Control(login, L"lblLabels_0"),
                      cancel = Control(login, L"cmdCancel");
                 HWND upper = GetWindow(login, GW_CHILD);  // the first of the two in the stacking order
                 while (upper && upper != combo && upper != label) upper = GetWindow(upper, GW_HWNDNEXT);
                 EXPECT_EQ(upper, combo) << "the combo lies over its label";
                 EXPECT_TRUE(GetFocus() == cancel && (SendMessageW(cancel, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON));
                 EXPECT_FALSE(SendMessageW(Control(login, L"cmdOK"), WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON);
                 return PostMessageW(cancel, BM_CLICK, 0, 0) != FALSE;
             }),
        S_OK);
    EXPECT_EQ(Call(password, L"ShowRevise", L"修改密码",
                   [](HWND revise) {
                       HWND locked = Control(revise, L"Text1_1");
                       EXPECT_TRUE((GetWindowLongW(locked, GWL_STYLE) & ES_READONLY) &&
                                   Paints(locked, RGB(255, 255, 255)) && !Paints(locked, GetSysColor(COLOR_BTNFACE)))
                           << "a locked box is white";
                       return PostMessageW(Control(revise, L"Command2"), BM_CLICK, 0, 0) != FALSE;
                   }),
              S_OK);
    HWND owner = settings;
    BOOL hostEnabled = TRUE;
    EXPECT_EQ(Call(password, L"ShowLanding", L"退出登陆",
                   [&](HWND landing) {
                       PostMessageW(Control(landing, L"Command1"), BM_CLICK, 0, 0);
                       g_title = nullptr, g_step = [&](HWND) {  // the question, once the form has gone
                           HWND box = FindWindowW(L"#32770", nullptr);
                           if (!box || !IsWindowVisible(box)) return false;
                           owner = GetWindow(box, GW_OWNER), hostEnabled = IsWindowEnabled(host);
                           return PostMessageW(box, WM_COMMAND, IDNO, 0) != FALSE;
                       };
                       return false;
                   }),
              S_OK);
    EXPECT_TRUE(owner == nullptr && !hostEnabled) << "task-modal, owned by no open form";
    KillTimer(nullptr, timer);
    password->Release(), shift->Release(), DestroyWindow(host);
    CoUninitialize();
    EXPECT_EQ(Regsvr32(L"/u"), 0u);
    DeactivateActCtx(0, cookie), ReleaseActCtx(context);
    SetCurrentDirectoryW(ExeDir().c_str());
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

}  // namespace
