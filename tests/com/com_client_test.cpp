// Dutygate.dll as a host sees it: registered by regsvr32, then created and
// called through the automation runtime only.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "component/core/class_table.h"
#include "component/core/guid.h"
#include "component/win32/win_guid.h"

namespace {

namespace dc = dg::component;
const bool kWin64 = sizeof(void*) == 8;

std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }  // ASCII only
std::wstring GuidText(const dc::Guid& g) { return W(dc::FormatGuid(g)); }
std::wstring ExeDir() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path().wstring();
}
// DG_INSTALLED_DLL: the DLL as an installer put it, registered already; the
// suite then neither registers nor unregisters it.
std::wstring InstalledDll() {
    wchar_t path[MAX_PATH] = L"";
    return GetEnvironmentVariableW(L"DG_INSTALLED_DLL", path, MAX_PATH) ? path : L"";
}
std::wstring OwnDll() { return InstalledDll().empty() ? ExeDir() + L"\\Dutygate.dll" : InstalledDll(); }
std::wstring OtherDll() { return ExeDir() + (kWin64 ? L"\\..\\x86\\Dutygate.dll" : L"\\..\\x64\\Dutygate.dll"); }
// The Unix path of a source file as Wine shows it.
std::wstring SourceFile(const char* unixPath) {
    return L"Z:" + std::filesystem::path(unixPath).make_preferred().native();
}

// Runs `body` while another thread calls `repeat` every 200 ms.
void WhileRunning(const std::function<void()>& repeat, const std::function<void()>& body) {
    std::atomic<bool> done{false};
    std::thread helper([&] {
        while (repeat && !done) repeat(), Sleep(200);
    });
    body();
    done = true;
    helper.join();
}

// Runs a program and returns its exit code; `out` gets its standard output.
DWORD RunProgram(std::wstring command, std::string* out = nullptr,
                 const std::function<void(DWORD)>& whileRunning = {}) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &sa, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si, si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = writeEnd;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) return ~0u;
    CloseHandle(writeEnd);
    DWORD code = ~0u, n = 0;
    WhileRunning(whileRunning ? [&] { whileRunning(pi.dwProcessId); } : std::function<void()>{}, [&] {
        for (char buffer[4096]; ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0;)
            if (out) out->append(buffer, n);
        WaitForSingleObject(pi.hProcess, 120000);
    });
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess), CloseHandle(pi.hThread), CloseHandle(readEnd);
    return code;
}

std::wstring SystemDir(bool otherBitness) {
    wchar_t dir[MAX_PATH];
    if (!otherBitness)
        GetSystemDirectoryW(dir, MAX_PATH);  // syswow64 for an x86 process
    else if (kWin64)
        GetSystemWow64DirectoryW(dir, MAX_PATH);
    else
        GetWindowsDirectoryW(dir, MAX_PATH), lstrcatW(dir, L"\\sysnative");
    return dir;
}
DWORD Regsvr32(const std::wstring& args, const std::wstring& dll, bool other = false) {
    return RunProgram(L"\"" + SystemDir(other) + L"\\regsvr32.exe\" /s " + args + L" \"" + dll + L"\"");
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0) {
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    return RegCloseKey(key), true;
}
std::wstring ClassKey(const dc::ClassInfo& c) { return L"Software\\Classes\\CLSID\\" + GuidText(*c.clsid); }
std::wstring LibKey(const wchar_t* sys) {
    return L"Software\\Classes\\TypeLib\\" + GuidText(dc::kLibId) + L"\\3.0\\409\\" + sys;
}

// Answers what a thread shows: message boxes with OK (their texts kept in
// boxTexts), our forms by window title (the login form's OK button by its
// control name).
std::vector<std::wstring> boxTexts;
struct Found {
    const wchar_t* name;
    HWND hwnd;
};
BOOL CALLBACK FindControl(HWND child, LPARAM p) {
    auto* f = reinterpret_cast<Found*>(p);
    wchar_t text[64] = L"";
    const auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(child, L"DutygateControl")));
    if (atom && GlobalGetAtomNameW(atom, text, 64) && lstrcmpW(text, f->name) == 0) return f->hwnd = child, FALSE;
    return TRUE;
}
BOOL CALLBACK AnswerWindow(HWND w, LPARAM p) {
    DWORD pid = 0;
    const DWORD tid = GetWindowThreadProcessId(w, &pid);
    const auto* want = reinterpret_cast<const DWORD*>(p);
    if (!IsWindowVisible(w) || pid != want[0] || (want[1] && tid != want[1])) return TRUE;
    wchar_t cls[32] = L"", title[64] = L"";
    GetClassNameW(w, cls, 32), GetWindowTextW(w, title, 64);
    Found ok{L"cmdOK", nullptr};
    wchar_t text[1024] = L"";
    if (lstrcmpW(cls, L"#32770") == 0 && GetDlgItemTextW(w, 0xFFFF, text, 1024) &&
        (boxTexts.empty() || boxTexts.back() != text))  // a box still closing is seen once
        boxTexts.push_back(text);
    if (lstrcmpW(cls, L"#32770") == 0)
        PostMessageW(w, WM_COMMAND, IDOK, 0);
    else if (lstrcmpW(title, L"用户登陆") == 0)
        EnumChildWindows(w, FindControl, reinterpret_cast<LPARAM>(&ok));
    else
        PostMessageW(w, WM_CLOSE, 0, 0);
    if (ok.hwnd) PostMessageW(ok.hwnd, BM_CLICK, 0, 0);
    return TRUE;
}
void AnswerWindows(DWORD pid, DWORD tid) {
    const DWORD want[2] = {pid, tid};
    EnumWindows(AnswerWindow, reinterpret_cast<LPARAM>(want));
}

// An event sink recording each call: dispid and the argument types as given.
struct Sink : IDispatch {
    struct Identity : IUnknown {  // its IUnknown, a pointer apart from its IDispatch as in many hosts
        STDMETHODIMP QueryInterface(REFIID, void** out) override { return *out = this, S_OK; }
        STDMETHODIMP_(ULONG) AddRef() override { return 2; }
        STDMETHODIMP_(ULONG) Release() override { return 1; }
    } identity;
    std::vector<std::vector<VARIANT>> calls;
    HRESULT answer = S_OK;
    std::function<void()> inside;
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown ? static_cast<IUnknown*>(&identity) : iid == IID_IDispatch ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the test's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
        calls.emplace_back();
        for (UINT i = 0; i < p->cArgs; ++i) VariantCopy(&calls.back().emplace_back(), &p->rgvarg[i]);
        EXPECT_EQ(id, 1);
        if (inside) inside();
        return answer;
    }
};

// A direct (early-bound) call of the dual interface's member `i`: vtable
// slot 7 + i, after IDispatch's seven. Only the caller's reference holds `d`.
HRESULT Direct(IDispatch* d, REFIID dual, int i) {
    IDispatch* p = nullptr;
    if (FAILED(d->QueryInterface(dual, (void**)&p))) return E_NOINTERFACE;
    p->Release();
    VARIANT r;
    VariantInit(&r), V_VT(&r) = VT_I4;
    const HRESULT hr = (*reinterpret_cast<HRESULT(STDMETHODCALLTYPE***)(IDispatch*, VARIANT*)>(p))[7 + i](p, &r);
    EXPECT_EQ(V_VT(&r), VT_EMPTY);
    return hr;
}
bool ErrorInfoSet() {  // and takes it
    IErrorInfo* info = nullptr;
    return GetErrorInfo(0, &info) == S_OK && (info->Release(), true);
}

// The DLL's frees while rerouted here: each block is filled and held back
// from the heap, so that any write into it after its release shows once the
// call in progress has returned (a small debug heap).
std::vector<std::pair<unsigned char*, std::size_t>> held;
void __cdecl HoldFree(void* p) {
    if (p != nullptr) held.emplace_back(static_cast<unsigned char*>(std::memset(p, 0xA5, _msize(p))), _msize(p));
}
bool HeldIntact() {
    bool intact = !held.empty();
    for (auto& [p, n] : held)
        intact = std::all_of(p, p + n, [](unsigned char c) { return c == 0xA5; }) && intact, std::free(p);
    return held.clear(), intact;
}

// The registry keys Dutygate.dll opens, creates and deletes, each as its kind
// and the view it asks for ("CLSID 64", "TypeLib -"): its import table's
// entries are rerouted here while Reroute is on.
std::set<std::wstring> regSeen;
void Log(std::wstring p, REGSAM sam, const wchar_t* writing) {
    for (const wchar_t* k : {L"\\CLSID\\", L"\\Interface\\", L"\\TypeLib\\", L"\\Dutygate."})
        if (p.find(k) != std::wstring::npos) p = std::wstring(k + 1, wcslen(k) - 2);
    const REGSAM view = sam & (KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    regSeen.insert(p + (view == KEY_WOW64_64KEY ? L" 64" : view ? L" 32" : L" -") + (writing ? writing : L""));
}
LONG WINAPI LogOpen(HKEY k, LPCWSTR p, DWORD o, REGSAM s, PHKEY r) {
    return Log(p, s, nullptr), RegOpenKeyExW(k, p, o, s, r);
}
LONG WINAPI LogCreate(HKEY k, LPCWSTR p, DWORD z, LPWSTR c, DWORD o, REGSAM s, SECURITY_ATTRIBUTES* a, PHKEY r,
                      DWORD* d) {
    return Log(p, s, L" write"), RegCreateKeyExW(k, p, z, c, o, s, a, r, d);
}
LONG WINAPI LogDelete(HKEY k, LPCWSTR p, REGSAM s, DWORD z) {
    return Log(p, s, L" write"), RegDeleteKeyExW(k, p, s, z);
}
// Points the DLL's imports named in `routes` at ours; no routes: back as they were.
void Reroute(HMODULE dll, const std::vector<std::pair<std::string, void*>>& routes) {
    static std::vector<std::pair<ULONG_PTR*, ULONG_PTR>> saved;
    const bool on = !routes.empty();
    auto* base = reinterpret_cast<BYTE*>(dll);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(
        base + nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; on && d->Name; ++d) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const std::string name = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
            void* to = nullptr;
            for (const auto& [from, fn] : routes) to = from == name ? fn : to;
            DWORD old = 0;
            if (to && VirtualProtect(&slot->u1.Function, sizeof(void*), PAGE_READWRITE, &old))
                saved.emplace_back(&slot->u1.Function, slot->u1.Function), slot->u1.Function = (ULONG_PTR)to;
        }
    }
    for (; !on && !saved.empty(); saved.pop_back()) *saved.back().first = saved.back().second;
}

class Com : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("dgcom" + std::to_string(GetCurrentProcessId()));
        std::filesystem::create_directories(dir_);
        SetCurrentDirectoryW(dir_.c_str());
#ifdef DG_REGISTRATION_FREE
        // Nothing of ours in the registry: the host's manifest alone leads to the DLL.
        for (const dc::ClassInfo& c : dc::Classes()) {
            ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, W(c.progid))) << c.progid;
            for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
                ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ClassKey(c), view));
        }
#else
        if (InstalledDll().empty()) ASSERT_EQ(Regsvr32(L"", OwnDll()), 0u);
#endif
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    }
    void TearDown() override {
        CoUninitialize();
#ifndef DG_REGISTRATION_FREE
        if (InstalledDll().empty()) EXPECT_EQ(Regsvr32(L"/u", OwnDll()), 0u);
#else
        // Wine's type library marshaller registers the library it finds
        // through the activation context: leave the registry as it was.
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\TypeLib\\" + GuidText(dc::kLibId)).c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\TypeLib\\" + GuidText(dc::kLibId)).c_str());
        for (const dc::ClassInfo& c : dc::Classes()) {
            for (const dc::Guid* iid : {c.iid, c.diid}) {
                const std::wstring key = L"Software\\Classes\\Interface\\" + GuidText(*iid);
                RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
                RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
            }
        }
#endif
        SetCurrentDirectoryW(ExeDir().c_str());
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    static IDispatch* Create(const wchar_t* progid) {
        CLSID clsid{};
        IDispatch* d = nullptr;
        EXPECT_EQ(CLSIDFromProgID(progid, &clsid), S_OK);
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, (void**)&d), S_OK);
        return d;
    }
    static DISPID Id(IDispatch* d, const wchar_t* name, HRESULT expect = S_OK) {
        DISPID id = 0;
        EXPECT_EQ(d->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(&name), 1, 0, &id), expect) << name;
        return id;
    }
    // The connection point of the object's default source, found as WithEvents finds it.
    static IConnectionPoint* Connect(IDispatch* d, Sink* sink, DWORD* cookie) {
        IProvideClassInfo2* info = nullptr;
        IConnectionPointContainer* cpc = nullptr;
        IConnectionPoint* cp = nullptr;
        GUID source{};
        EXPECT_EQ(d->QueryInterface(IID_IProvideClassInfo2, (void**)&info), S_OK);
        EXPECT_EQ(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
        EXPECT_EQ(d->QueryInterface(IID_IConnectionPointContainer, (void**)&cpc), S_OK);
        EXPECT_EQ(cpc->FindConnectionPoint(source, &cp), S_OK);
        EXPECT_EQ(cp->Advise(sink, cookie), S_OK);
        // As hosts that enumerate find them: the one point, and this sink among its connections.
        IEnumConnectionPoints* points = nullptr;
        IConnectionPoint* listed = nullptr;
        IID listedIid{};
        EXPECT_EQ(cpc->EnumConnectionPoints(&points), S_OK);
        EXPECT_EQ(points->Next(1, &listed, nullptr), S_OK);
        EXPECT_EQ(listed->GetConnectionInterface(&listedIid), S_OK);
        EXPECT_TRUE(IsEqualIID(listedIid, source));
        EXPECT_EQ(points->Next(1, &listed, nullptr), S_FALSE);
        IEnumConnections* connections = nullptr;
        CONNECTDATA data[8]{};
        ULONG fetched = 0;
        EXPECT_EQ(listed->EnumConnections(&connections), S_OK);
        EXPECT_EQ(connections->Next(8, data, &fetched), S_FALSE);
        // The newest last, named by the sink's own IUnknown.
        EXPECT_TRUE(fetched >= 1 && data[fetched - 1].dwCookie == *cookie && data[fetched - 1].pUnk == &sink->identity);
        for (ULONG i = 0; i < fetched; ++i) data[i].pUnk->Release();
        connections->Release(), listed->Release(), points->Release();
        info->Release(), cpc->Release();
        return cp;
    }
    static HRESULT Call(IDispatch* d, DISPID id, UINT argc = 0, EXCEPINFO* e = nullptr, VARIANT* r = nullptr) {
        VARIANT args[2];
        for (VARIANT& a : args) VariantInit(&a), V_VT(&a) = VT_I2, V_I2(&a) = 1;
        DISPPARAMS p{args, nullptr, argc, 0};
        return d->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &p, r, e, nullptr);
    }
    std::filesystem::path dir_;
};

TEST_F(Com, CreationLateBoundCallsStatusesAndUnloading) {
    for (const dc::ClassInfo& c : dc::Classes()) {
        IUnknown* u = nullptr;
        EXPECT_EQ(CoCreateInstance(dc::ToWinGuid(*c.clsid), nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void**)&u),
                  S_OK);
        if (u) u->Release();
        IDispatch* d = Create(W(c.progid).c_str());
        ASSERT_NE(d, nullptr);
        for (const dc::MemberInfo& m : c.members) {
            std::wstring lower = W(m.name);
            CharLowerW(lower.data());
            EXPECT_EQ(Id(d, lower.c_str()), m.dispid);
            EXPECT_EQ(Call(d, m.dispid, 1), DISP_E_BADPARAMCOUNT) << m.name;
        }
        Id(d, L"NoSuchMember", DISP_E_UNKNOWNNAME);
        EXPECT_EQ(Call(d, 0x12345), DISP_E_MEMBERNOTFOUND);
        d->Release();
    }
    IDispatch* shift = Create(L"Dutygate.clsShiftClass");
    VARIANT r;
    VariantInit(&r), V_VT(&r) = VT_I4;
    EXPECT_EQ(Call(shift, dc::kDispidShiftClass, 0, nullptr, &r), S_OK);
    EXPECT_EQ(V_VT(&r), VT_EMPTY);
    const GUID shiftDual = dc::ToWinGuid(dc::kIidShiftClass);
    EXPECT_TRUE(Direct(shift, shiftDual, 0) == S_OK && Direct(shift, shiftDual, 1) == S_OK);
    // From another thread the raw pointer is refused.
    std::thread([&] { EXPECT_EQ(Call(shift, dc::kDispidShiftClass), RPC_E_WRONG_THREAD); }).join();
    // Another apartment goes through the runtime's marshalling of the dual
    // interface (the type library marshaller) while this one pumps messages.
    IStream* stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, shift, &stream), S_OK);
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HRESULT across = E_FAIL;
    std::thread other([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        IDispatch *proxy = nullptr, *dual = nullptr;
        CoGetInterfaceAndReleaseStream(stream, IID_IDispatch, (void**)&proxy);
        if (proxy && SUCCEEDED(proxy->QueryInterface(dc::ToWinGuid(dc::kIidShiftClass), (void**)&dual)))
            across = Call(dual, dc::kDispidShiftClass), dual->Release();
        if (proxy) proxy->Release();
        CoUninitialize();
        SetEvent(done);
    });
    while (MsgWaitForMultipleObjects(1, &done, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
        for (MSG m; PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&m);
    other.join();
    CloseHandle(done);
    EXPECT_EQ(across, S_OK);
    shift->Release();

    // A failure inside a method: its status and description, as EXCEPINFO and IErrorInfo.
    sqlite3* db = nullptr;
    sqlite3_open("mdb\\Para.mdb", &db);
    sqlite3_exec(db, "UPDATE tblClassTime SET 班制 = 40000", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const DWORD pid = GetCurrentProcessId(), tid = GetCurrentThreadId();
    // The settings message at creation is answered by the helper thread.
    WhileRunning([&] { AnswerWindows(pid, tid); }, [&] { shift = Create(L"Dutygate.clsShiftClass"); });
    EXCEPINFO e{};
    EXPECT_EQ(Call(shift, dc::kDispidShiftClass, 0, &e), DISP_E_EXCEPTION);
    EXPECT_EQ(static_cast<unsigned>(e.scode), 0x800A0006u);
    EXPECT_TRUE(e.bstrDescription && *e.bstrDescription);
    EXPECT_TRUE(ErrorInfoSet());  // without an EXCEPINFO, or called directly: the member's own status
    EXPECT_TRUE(Call(shift, dc::kDispidShiftClass) == HRESULT(0x800A0006) && ErrorInfoSet());
    EXPECT_TRUE(Direct(shift, shiftDual, 1) == HRESULT(0x800A0006) && ErrorInfoSet());
    ISupportErrorInfo* support = nullptr;
    ASSERT_EQ(shift->QueryInterface(IID_ISupportErrorInfo, (void**)&support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(dc::ToWinGuid(dc::kIidShiftClass)), S_OK);
    support->Release();
    shift->Release();

    // DllCanUnloadNow and the class factories, through the DLL the runtime loaded.
    IDispatch* d = Create(L"Dutygate.clsPassword");
    HMODULE dll = GetModuleHandleW(OwnDll().c_str());
    ASSERT_NE(dll, nullptr);
    auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
    auto getClass = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
    EXPECT_EQ(canUnload(), S_FALSE);
    d->Release();
    EXPECT_EQ(canUnload(), S_OK);
    IClassFactory* f = nullptr;
    ASSERT_EQ(CoGetClassObject(dc::ToWinGuid(dc::kClsidShiftClass), CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                               (void**)&f),
              S_OK);
    f->LockServer(TRUE);
    EXPECT_EQ(canUnload(), S_FALSE);
    f->LockServer(FALSE), f->LockServer(FALSE), f->LockServer(TRUE);  // one unlock too many changes nothing
    EXPECT_EQ(canUnload(), S_FALSE);
    f->LockServer(FALSE), f->Release();
    EXPECT_EQ(canUnload(), S_OK);
    void* none = nullptr;
    EXPECT_EQ(getClass(dc::ToWinGuid(dc::kIidPassword), IID_IClassFactory, &none), CLASS_E_CLASSNOTAVAILABLE);
}

// A working folder where nothing can be made (a plain file named mdb stands
// for a read-only one): the message box during the creation and the error
// the host gets say what failed in Chinese, with the name and the system's text.
TEST_F(Com, AFolderWhereNothingCanBeMadeIsDescribedInChinese) {
    std::ofstream("mdb") << "plain";
    const DWORD pid = GetCurrentProcessId(), tid = GetCurrentThreadId();
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"Dutygate.clsPassword", &clsid), S_OK);
    IDispatch* d = nullptr;
    HRESULT hr = S_OK;
    boxTexts.clear();
    WhileRunning([&] { AnswerWindows(pid, tid); },
                 [&] { hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, (void**)&d); });
    EXPECT_EQ(hr, E_FAIL);
    ASSERT_EQ(boxTexts.size(), 1u);
    EXPECT_EQ(boxTexts[0].rfind(L"无法创建数据库“mdb\\Para.mdb”（“mdb”是一个文件，不是文件夹）：", 0), 0u);
    EXPECT_NE(boxTexts[0].find(L"（位置：" + dir_.wstring()), std::wstring::npos);
    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    BSTR text = nullptr;
    info->GetDescription(&text);
    const std::wstring description = text ? text : L"";
    EXPECT_EQ(description.rfind(
                  L"无法打开数据库“mdb\\Para.mdb”（“mdb”是一个文件，不是文件夹）（文件不存在或无法访问）：unable to "
                  L"open database file；",
                  0),
              0u);
    EXPECT_NE(description.find(L"（错误 3）"), std::wstring::npos);  // ERROR_PATH_NOT_FOUND, in the user's language
    SysFreeString(text);
    info->Release();
}

// A host running as a service lives in a window station that no one sees:
// the same failure shows no box there, and the creation fails at once with
// the description, where a box would wait for ever for an answer.
TEST_F(Com, AServiceHostIsNeverBlockedByABox) {
    std::ofstream("mdb") << "plain";
    HWINSTA visible = GetProcessWindowStation();
    HWINSTA service = CreateWindowStationW(L"DutygateService", 0, WINSTA_ALL_ACCESS, nullptr);
    ASSERT_TRUE(service && SetProcessWindowStation(service));
    const DWORD pid = GetCurrentProcessId(), tid = GetCurrentThreadId();
    CLSID clsid{};
    IDispatch* d = nullptr;
    HRESULT hr = S_OK;
    boxTexts.clear();
    WhileRunning([&] { AnswerWindows(pid, tid); },
                 [&] {
                     hr = CLSIDFromProgID(L"Dutygate.clsPassword", &clsid);
                     if (SUCCEEDED(hr))
                         hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, (void**)&d);
                 });
    SetProcessWindowStation(visible), CloseWindowStation(service);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_TRUE(boxTexts.empty());
    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    BSTR text = nullptr;
    info->GetDescription(&text);
    EXPECT_EQ(std::wstring(text ? text : L"").rfind(L"无法打开数据库“mdb\\Para.mdb”（“mdb”是一个文件，不是文件夹）", 0),
              0u);
    SysFreeString(text);
    info->Release();
}

TEST_F(Com, EventSetClassArrivesThroughAConnectionPointOnTheRealClock) {
    Create(L"Dutygate.clsShiftClass")->Release();  // the database with its default row
    std::time_t now = std::time(nullptr);
    if (std::localtime(&now)->tm_sec < 1 || std::localtime(&now)->tm_sec > 57) Sleep(4000), now = std::time(nullptr);
    char sql[128];
    std::strftime(sql, sizeof sql, "UPDATE tblClassTime SET 班制 = 1, Class1 = '1899-12-30 %H:%M:00'",
                  std::localtime(&now));
    sqlite3* db = nullptr;
    sqlite3_open("mdb\\Para.mdb", &db);
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    IDispatch* shift = Create(L"Dutygate.clsShiftClass");
    Sink failing, recording, leaving;
    failing.answer = E_FAIL;
    DWORD cookies[3] = {};
    Connect(shift, &failing, &cookies[0])->Release();
    Connect(shift, &recording, &cookies[1])->Release();
    IConnectionPoint* cp = Connect(shift, &leaving, &cookies[2]);
    leaving.inside = [&] {
        EXPECT_EQ(cp->Unadvise(cookies[2]), S_OK);
        EXPECT_EQ(cp->Unadvise(cookies[2]), CONNECT_E_NOCONNECTION);
    };
    // The last sink drops every reference the host holds, in the event.
    Sink dropping;
    DWORD dropCookie = 0;
    Connect(shift, &dropping, &dropCookie)->Release();
    HMODULE dll = GetModuleHandleW(OwnDll().c_str());
    dropping.inside = [&] { Reroute(dll, {{"free", (void*)HoldFree}}), cp->Release(), shift->Release(); };
    for (int i = 0; i < 3 && recording.calls.empty(); ++i, Sleep(1000))
        EXPECT_EQ(Call(shift, dc::kDispidShiftClass), S_OK);
    Reroute(dll, {});
    EXPECT_TRUE(HeldIntact());
    ASSERT_EQ(recording.calls.size(), 1u);
    EXPECT_EQ(failing.calls.size(), 1u);
    EXPECT_EQ(leaving.calls.size(), 1u);
    const auto& a = recording.calls[0];  // reverse order: dDateNow first
    ASSERT_EQ(a.size(), 4u);
    EXPECT_TRUE(V_VT(&a[3]) == VT_I2 && V_I2(&a[3]) == 1);
    EXPECT_TRUE(V_VT(&a[2]) == VT_BSTR && std::wstring(V_BSTR(&a[2])) == L"1");
    EXPECT_TRUE(V_VT(&a[1]) == VT_BSTR && std::wstring(V_BSTR(&a[1])) == L"甲班");
    ASSERT_EQ(V_VT(&a[0]), VT_DATE);
    EXPECT_EQ(V_DATE(&a[0]), static_cast<double>(static_cast<long>(V_DATE(&a[0]))));
}

TEST_F(Com, BackAdminFromARealLogin) {
    IDispatch* password = Create(L"Dutygate.clsPassword");
    Sink sink;
    DWORD cookie = 0;
    IConnectionPoint* cp = Connect(password, &sink, &cookie);
    const DWORD pid = GetCurrentProcessId(), tid = GetCurrentThreadId();
    HMODULE dll = GetModuleHandleW(OwnDll().c_str());
    sink.inside = [&] { Reroute(dll, {{"free", (void*)HoldFree}}), cp->Release(), password->Release(); };
    // The operator, on another thread: the change-password and logout forms
    // closed by their frames (called directly), then OK in the login form
    // (the default password of a fresh database).
    const GUID dual = dc::ToWinGuid(dc::kIidPassword);
    WhileRunning([&] { AnswerWindows(pid, tid); },
                 [&] {
                     EXPECT_TRUE(Direct(password, dual, 1) == S_OK && Direct(password, dual, 2) == S_OK);
                     EXPECT_EQ(Direct(password, dual, 0), S_OK);  // the sink drops the host's last references
                 });
    Reroute(dll, {});
    EXPECT_TRUE(HeldIntact());
    ASSERT_EQ(sink.calls.size(), 1u);
    ASSERT_EQ(sink.calls[0].size(), 2u);
    EXPECT_TRUE(V_VT(&sink.calls[0][1]) == VT_I2 && V_I2(&sink.calls[0][1]) == 1);  // Data: the level
    EXPECT_EQ(V_I2(&sink.calls[0][0]), 199);                                        // iCommand
}

// Type information as a late-bound host reaches it: the default interface
// from the object, its class from IProvideClassInfo.
TEST_F(Com, TypeInformationFromTheObjects) {
    for (const dc::ClassInfo& c : dc::Classes()) {
        IDispatch* d = Create(W(c.progid).c_str());
        ASSERT_NE(d, nullptr);
        ITypeInfo *ti = nullptr, *ci = nullptr;
        IProvideClassInfo* info = nullptr;
        BSTR name = nullptr, className = nullptr;
        UINT count = 0;
        EXPECT_TRUE(d->GetTypeInfoCount(&count) == S_OK && count == 1);
        ASSERT_EQ(d->GetTypeInfo(0, 0, &ti), S_OK);
        ti->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        EXPECT_EQ(std::wstring(name), W(c.defaultInterface));
        ASSERT_EQ(d->QueryInterface(IID_IProvideClassInfo, (void**)&info), S_OK);
        ASSERT_EQ(info->GetClassInfo(&ci), S_OK);
        ci->GetDocumentation(MEMBERID_NIL, &className, nullptr, nullptr, nullptr);
        EXPECT_EQ(std::wstring(className), W(c.name));
        SysFreeString(name), SysFreeString(className);
        ci->Release(), info->Release(), ti->Release(), d->Release();
    }
}

TEST_F(Com, TypeLibraryAndVersionResourceReadBack) {
    ITypeLib* lib = nullptr;
    ASSERT_EQ(LoadTypeLibEx(OwnDll().c_str(), REGKIND_NONE, &lib), S_OK);
    TLIBATTR* la = nullptr;
    lib->GetLibAttr(&la);
    EXPECT_TRUE(la->lcid == 0x0409 && la->wMajorVerNum == 3 && la->wMinorVerNum == 0);
    EXPECT_EQ(la->syskind, kWin64 ? SYS_WIN64 : SYS_WIN32);
    lib->ReleaseTLibAttr(la);
    std::stringstream idl;
    idl << std::ifstream(std::filesystem::path(SourceFile(DG_IDL_FILE))).rdbuf();
    const std::vector<std::wstring> order{L"_clsPassword",  L"clsPassword",   L"_clsShiftClass",
                                          L"clsShiftClass", L"__clsPassword", L"__clsShiftClass"};
    ASSERT_EQ(lib->GetTypeInfoCount(), order.size());
    for (UINT i = 0; i < order.size(); ++i) {
        ITypeInfo* ti = nullptr;
        BSTR name = nullptr;
        TYPEATTR* ta = nullptr;
        lib->GetTypeInfo(i, &ti), ti->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
        EXPECT_EQ(std::wstring(name), order[i]);
        ti->GetTypeAttr(&ta);
        std::string guid = dc::FormatGuid(*reinterpret_cast<const dc::Guid*>(&ta->guid));
        EXPECT_NE(idl.str().find("uuid(" + guid.substr(1, 36) + ")"), std::string::npos) << guid;
        const WORD flags = ta->wTypeFlags,
                   expected = ta->typekind == TKIND_COCLASS
                                  ? TYPEFLAG_FCANCREATE | TYPEFLAG_FAPPOBJECT | TYPEFLAG_FPREDECLID
                                  : TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE |
                                        (order[i][1] == L'_' ? 0 : TYPEFLAG_FDUAL);
        EXPECT_EQ(flags, expected) << i;
        if (ta->typekind == TKIND_DISPATCH && (flags & TYPEFLAG_FDUAL)) {  // its vtable half: methods after IDispatch's
            HREFTYPE ref;
            ITypeInfo* vt = nullptr;
            FUNCDESC* fd = nullptr;
            TYPEATTR* va = nullptr;
            ti->GetRefTypeOfImplType(-1, &ref), ti->GetRefTypeInfo(ref, &vt), vt->GetTypeAttr(&va);
            EXPECT_TRUE(va->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
            vt->ReleaseTypeAttr(va);
            vt->GetFuncDesc(0, &fd);
            EXPECT_EQ(fd->oVft, 7 * static_cast<int>(sizeof(void*)));
            vt->ReleaseFuncDesc(fd), vt->Release();
        }
        ti->ReleaseTypeAttr(ta), SysFreeString(name), ti->Release();
    }
    lib->Release();

    std::vector<char> data(GetFileVersionInfoSizeW(OwnDll().c_str(), nullptr));
    ASSERT_TRUE(GetFileVersionInfoW(OwnDll().c_str(), 0, data.size(), data.data()));
    auto value = [&](const wchar_t* key) -> std::wstring {
        void* p = nullptr;
        UINT n = 0;
        std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        return VerQueryValueW(data.data(), path.c_str(), &p, &n) ? std::wstring(static_cast<wchar_t*>(p)) : L"<none>";
    };
    EXPECT_EQ(value(L"ProductName"), L"Dutygate");
    EXPECT_EQ(value(L"OriginalFilename"), L"Dutygate.dll");
    EXPECT_TRUE(value(L"FileVersion") == L"1.00.0015" && value(L"ProductVersion") == L"1.00.0015");
    EXPECT_EQ(value(L"OLESelfRegister"), L"");
    EXPECT_EQ(value(L"CompanyName"), L"<none>");
    EXPECT_EQ(value(L"FileDescription"), L"Dutygate operator access and shift schedule component");
    EXPECT_EQ(value(L"LegalCopyright"), L"Copyright (c) 2026 the Dutygate developers. MIT License.");
    VS_FIXEDFILEINFO* fixed = nullptr;
    DWORD* translation = nullptr;
    UINT n = 0;
    VerQueryValueW(data.data(), L"\\", (void**)&fixed, &n);
    EXPECT_TRUE(fixed->dwFileVersionMS == 0x00010000u && fixed->dwFileVersionLS == 15u);
    VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", (void**)&translation, &n);
    EXPECT_EQ(*translation, 0x04B00409u);
}

TEST_F(Com, RegistrationPerUserAndBothBitnessesSideBySide) {
    const REGSAM other = kWin64 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
    const wchar_t *own = kWin64 ? L"win64" : L"win32", *theirs = kWin64 ? L"win32" : L"win64";
    for (const dc::ClassInfo& c : dc::Classes()) {
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, ClassKey(c) + L"\\InprocServer32"));
        EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, W(c.progid) + L"\\CLSID"));
    }
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, LibKey(own)));
    // Per user: the same keys under the user's classes; nothing left after.
    EXPECT_EQ(Regsvr32(L"/n /i:user", OwnDll()), 0u);
    for (const bool installed : {true, false}) {
        EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, ClassKey(dc::Classes()[1]) + L"\\InprocServer32"), installed);
        EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, L"Software\\Classes\\Dutygate.clsShiftClass\\CLSID"), installed);
        if (installed) {
            EXPECT_EQ(Regsvr32(L"/u /n /i:user", OwnDll()), 0u);
        }
    }
    EXPECT_NE(Regsvr32(L"/n /i:nobody", OwnDll()), 0u);
    // A registration failing part way (the type library's step, under a volatile
    // key, which takes no lasting subkey) takes back what it wrote.
    const std::wstring libRoot = L"Software\\Classes\\TypeLib\\" + GuidText(dc::kLibId);
    HKEY v = nullptr;
    ASSERT_EQ(Regsvr32(L"/u", OwnDll()), 0u);
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, libRoot.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                              &v, nullptr),
              0);
    EXPECT_NE(Regsvr32(L"", OwnDll()), 0u);
    for (const dc::ClassInfo& c : dc::Classes())
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ClassKey(c)) || KeyExists(HKEY_CLASSES_ROOT, W(c.progid)));
    RegCloseKey(v), RegDeleteKeyW(HKEY_LOCAL_MACHINE, libRoot.c_str());
    ASSERT_EQ(Regsvr32(L"", OwnDll()), 0u);

    if (!std::filesystem::exists(OtherDll())) GTEST_SKIP() << "the other bitness is not built";
    // DG_NO_32BIT: why the other bitness cannot run on this machine.
    if (char why[256]; GetEnvironmentVariableA("DG_NO_32BIT", why, sizeof why)) GTEST_SKIP() << why;
    ASSERT_EQ(Regsvr32(L"", OtherDll(), true), 0u);
    ASSERT_EQ(Regsvr32(L"/u", OwnDll()), 0u);  // the other keeps working
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ClassKey(dc::Classes()[0])));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, ClassKey(dc::Classes()[0]) + L"\\InprocServer32", other));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"Dutygate.clsPassword\\CLSID"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, LibKey(own)));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, LibKey(theirs)));
    ASSERT_EQ(Regsvr32(L"", OwnDll()), 0u);
    ASSERT_EQ(Regsvr32(L"/u", OtherDll(), true), 0u);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, ClassKey(dc::Classes()[0]) + L"\\InprocServer32", other));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, ClassKey(dc::Classes()[0]) + L"\\InprocServer32"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, LibKey(own)));
    IDispatch* d = Create(L"Dutygate.clsPassword");
    if (d) d->Release();
}

// Wine keeps one registry view: what only the views tell apart is checked as
// the flags the DLL passes. CLSID and Interface keys in its own view (the
// other's only read), ProgIDs and the type library without a view.
TEST_F(Com, RegistryViewsAskedFor) {
    IDispatch* d = Create(L"Dutygate.clsPassword");
    HMODULE dll = GetModuleHandleW(OwnDll().c_str());
    Reroute(dll, {{"RegOpenKeyExW", (void*)LogOpen},
                  {"RegCreateKeyExW", (void*)LogCreate},
                  {"RegDeleteKeyExW", (void*)LogDelete}});
    EXPECT_EQ(reinterpret_cast<HRESULT(WINAPI*)()>((void*)GetProcAddress(dll, "DllUnregisterServer"))(), S_OK);
    EXPECT_EQ(reinterpret_cast<HRESULT(WINAPI*)()>((void*)GetProcAddress(dll, "DllRegisterServer"))(), S_OK);
    Reroute(dll, {});
    const std::wstring own = kWin64 ? L" 64" : L" 32", other = kWin64 ? L" 32" : L" 64", w = L" write";
    EXPECT_EQ(regSeen, (std::set<std::wstring>{L"CLSID" + own, L"CLSID" + own + w, L"CLSID" + other, L"Interface" + own,
                                               L"TypeLib -", L"TypeLib -" + w, L"Dutygate -", L"Dutygate -" + w}));
    d->Release();
}

// The late-bound path as a script host sees it: Wine's cscript of this
// bitness runs the script, which prints "N passed, N failed".
TEST_F(Com, ScriptHostCallsLateBound) {
    std::string out;
    RunProgram(L"\"" + SystemDir(false) + L"\\cscript.exe\" //nologo \"" + SourceFile(DG_VBS_FILE) + L"\"", &out,
               [](DWORD pid) { AnswerWindows(pid, 0); });
    int passed = -1, failed = -1;
    const auto at = out.rfind(" passed, ");
    ASSERT_NE(at, std::string::npos) << out;
    std::sscanf(out.c_str() + out.rfind('\n', at) + 1, "%d passed, %d failed", &passed, &failed);
    EXPECT_GT(passed, 0) << out;
    EXPECT_EQ(failed, 0) << out;
}

#ifdef DG_REGISTRATION_FREE
// A host manifest names the assembly's version, and the loader holds it to
// the one in Dutygate.manifest: the shipped template makes a context with
// both classes, while a host manifest kept from an earlier zip (which named
// the file version 1.0.0.15) makes none, so its host gets no object.
TEST(RegistrationFree, HostManifestMustNameTheAssemblyVersion) {
    std::ifstream in(std::filesystem::path(ExeDir()) / "host.exe.manifest");
    std::string shipped((std::istreambuf_iterator<char>(in)), {});
    const std::string current = "version=\"1.0.0.0\"";
    const size_t at = shipped.find(current);
    ASSERT_NE(at, std::string::npos) << shipped;
    std::string earlier = shipped;
    earlier.replace(at, current.size(), "version=\"1.0.0.15\"");
    const auto dir = std::filesystem::temp_directory_path() / ("dgsxs" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "earlier.manifest", std::ios::binary) << earlier;
    std::ofstream(dir / "shipped.manifest", std::ios::binary) << shipped;
    const std::wstring assemblies = ExeDir();
    auto context = [&](const char* name) {
        const std::wstring source = (dir / name).wstring();
        ACTCTXW actctx{};
        actctx.cbSize = sizeof actctx, actctx.lpSource = source.c_str();
        actctx.dwFlags = ACTCTX_FLAG_ASSEMBLY_DIRECTORY_VALID, actctx.lpAssemblyDirectory = assemblies.c_str();
        return CreateActCtxW(&actctx);
    };
    EXPECT_EQ(context("earlier.manifest"), INVALID_HANDLE_VALUE);
    HANDLE ctx = context("shipped.manifest");
    ASSERT_NE(ctx, INVALID_HANDLE_VALUE);
    ULONG_PTR cookie = 0;
    ASSERT_TRUE(ActivateActCtx(ctx, &cookie));
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    for (const dc::ClassInfo& c : dc::Classes()) {
        CLSID clsid{};
        IUnknown* object = nullptr;
        EXPECT_EQ(CLSIDFromProgID(W(c.progid).c_str(), &clsid), S_OK) << c.progid;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void**)&object), S_OK);
        if (object) object->Release();
    }
    CoUninitialize();
    DeactivateActCtx(0, cookie), ReleaseActCtx(ctx);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
#endif

}  // namespace
