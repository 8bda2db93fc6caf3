// The Windows half of the station check: the classes' registration in both
// registry views, and write access told by the folder's or file's access
// rights (AccessCheck against the process's own token), without writing.
#include "tools/win32/registration_check.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <optional>

#include "base/failure_text.h"
#include "base/utf16.h"
#include "component/core/class_table.h"
#include "component/core/guid.h"

namespace dg::tools {
namespace {

namespace dc = dg::component;

constexpr int kOwnBits = sizeof(void*) * 8;

struct View {
    int bits;
    REGSAM flag;
    const char* platform;  // the type library's platform key
};
constexpr View kViews[] = {{64, KEY_WOW64_64KEY, "win64"}, {32, KEY_WOW64_32KEY, "win32"}};

std::string Bits(int bits) { return std::to_string(bits) + " 位"; }
std::string BitsEnglish(int bits) { return std::to_string(bits) + "-bit"; }

bool WindowsIs64Bit() {
    if (kOwnBits == 64) return true;
    BOOL wow = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow) && wow;
}

// The default value of a key under HKEY_CLASSES_ROOT in one view, expanded;
// nullopt when the key is missing, empty when it has no text value.
std::optional<std::wstring> DefaultValue(const std::wstring& path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring value;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
        value.assign(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
            ERROR_SUCCESS)
            size = 0;
        value.resize(wcsnlen(value.data(), size / sizeof(wchar_t)));
        if (type == REG_EXPAND_SZ) {
            wchar_t expanded[MAX_PATH * 2];
            const DWORD n = ExpandEnvironmentStringsW(value.c_str(), expanded, MAX_PATH * 2);
            if (n > 0 && n <= MAX_PATH * 2) value = expanded;
        }
    }
    RegCloseKey(key);
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') value = value.substr(1, value.size() - 2);
    return value;
}

// The name under which this process sees a file that a host of `bits` would
// load: a 32-bit process on 64-bit Windows reaches the 64-bit System32
// through Sysnative.
std::wstring AsSeenHere(const std::wstring& path, int bits) {
    if (kOwnBits == 64 || bits == 32 || !WindowsIs64Bit()) return path;
    wchar_t windows[MAX_PATH];
    const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return path;
    const std::wstring system = std::wstring(windows) + L"\\System32\\";
    if (path.size() < system.size() || _wcsnicmp(path.c_str(), system.c_str(), system.size()) != 0) return path;
    return std::wstring(windows) + L"\\Sysnative\\" + path.substr(system.size());
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The bitness a PE file's machine field names: 32, 64, or 0 for another
// machine or a file that is no PE image.
int MachineBits(const std::wstring& path) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    unsigned char head[4096];
    DWORD got = 0;
    const bool read = ReadFile(file, head, sizeof head, &got, nullptr);
    CloseHandle(file);
    if (!read || got < 0x40 || head[0] != 'M' || head[1] != 'Z') return 0;
    std::uint32_t pe = 0;
    std::memcpy(&pe, head + 0x3C, sizeof pe);
    if (pe > got - 6 || std::memcmp(head + pe, "PE\0\0", 4) != 0) return 0;
    const unsigned machine = head[pe + 4] | head[pe + 5] << 8;
    return machine == IMAGE_FILE_MACHINE_I386 ? 32 : machine == IMAGE_FILE_MACHINE_AMD64 ? 64 : 0;
}

// "1.0.0.15", or empty when the file has no version record.
std::string FileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return {};
    std::string record(size, '\0');
    if (!GetFileVersionInfoW(path.c_str(), 0, size, record.data())) return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info ||
        length < sizeof *info)
        return {};
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

std::wstring ClassKey(const dc::Guid& clsid) { return L"CLSID\\" + Wide(dc::FormatGuid(clsid)) + L"\\InprocServer32"; }

// What a host of the view's bitness would load for the CLSID. Adds the
// finding; true when the DLL is there and of that bitness.
bool CheckServer(const View& view, const dc::ClassInfo& c, std::vector<Finding>& findings) {
    const dc::Guid& clsid = *c.clsid;
    const std::string who = Bits(view.bits) + "注册表视图：" + Quoted(c.progid) + "（" + dc::FormatGuid(clsid) + "）";
    const std::string whoEnglish = BitsEnglish(view.bits) + " view: " + c.progid + " (" + dc::FormatGuid(clsid) + ")";
    const auto server = DefaultValue(ClassKey(clsid), view.flag);
    if (!server || server->empty()) {
        findings.push_back({view.bits == kOwnBits ? Verdict::kProblem : Verdict::kNote,
                            who + "没有注册（InprocServer32），" + Bits(view.bits) + "宿主程序无法创建该类",
                            whoEnglish + " is not registered (InprocServer32): a " + BitsEnglish(view.bits) +
                                " host cannot create it."});
        return false;
    }
    const std::string dll = Quoted(Utf8(*server));
    const std::wstring here = AsSeenHere(*server, view.bits);
    if (!FileExists(here)) {
        findings.push_back({Verdict::kProblem, who + "注册的 DLL " + dll + "不存在",
                            whoEnglish + ": the registered DLL " + Utf8(*server) + " does not exist."});
        return false;
    }
    std::string version = FileVersion(here);
    if (version.empty()) version = "未知";
    const int bits = MachineBits(here);
    const std::string bitsText = bits ? Bits(bits) : "不是 Windows 的 x86 或 x64 DLL";
    const std::string bitsEnglish = bits ? BitsEnglish(bits) : "not an x86 or x64 DLL";
    if (bits != view.bits) {
        findings.push_back({Verdict::kProblem,
                            who + "注册的 DLL " + dll + "是" + bitsText + "的，" + Bits(view.bits) +
                                "宿主程序无法加载（版本 " + version + "）",
                            whoEnglish + ": the registered DLL " + Utf8(*server) + " is " + bitsEnglish + "; a " +
                                BitsEnglish(view.bits) + " host cannot load it."});
        return false;
    }
    findings.push_back(
        {Verdict::kOk, who + "的 DLL 为" + dll + "，文件存在，版本 " + version + "，" + bitsText,
         whoEnglish + ": " + Utf8(*server) + ", present, version " + version + ", " + bitsEnglish + "."});
    return true;
}

// Whether a host of the view's bitness finds the class by its ProgID.
bool CheckProgId(const View& view, const dc::ClassInfo& c, std::vector<Finding>& findings) {
    const std::string host = Bits(view.bits) + "宿主程序";
    const std::string hostEnglish = "A " + BitsEnglish(view.bits) + " host";
    // A ProgID's key is one key for both views (Windows 7 and later), and a
    // host reads it as CLSIDFromProgID does, in no view of its own asking.
    const auto text = DefaultValue(Wide(c.progid) + L"\\CLSID", 0);
    dc::Guid clsid{};
    if (!text || !dc::ParseGuid(Utf8(*text), clsid)) {
        findings.push_back({view.bits == kOwnBits ? Verdict::kProblem : Verdict::kNote,
                            host + "按 ProgID" + Quoted(c.progid) + "找不到类：ProgID 没有注册",
                            hostEnglish + " cannot find " + c.progid + ": the ProgID is not registered."});
        return false;
    }
    if (!dc::SameGuid(clsid, *c.clsid)) {
        findings.push_back({Verdict::kProblem,
                            host + "按 ProgID" + Quoted(c.progid) + "找到的是别的类 " + dc::FormatGuid(clsid) +
                                "，不是本组件的 " + dc::FormatGuid(*c.clsid),
                            hostEnglish + " finds " + c.progid + " as another class " + dc::FormatGuid(clsid) + "."});
        return false;
    }
    const auto server = DefaultValue(ClassKey(clsid), view.flag);
    const std::wstring here = server ? AsSeenHere(*server, view.bits) : std::wstring();
    if (!server || !FileExists(here) || MachineBits(here) != view.bits) {
        findings.push_back({view.bits == kOwnBits ? Verdict::kProblem : Verdict::kNote,
                            host + "按 ProgID" + Quoted(c.progid) + "找到 " + dc::FormatGuid(clsid) + "，但在" +
                                Bits(view.bits) + "注册表视图中没有可加载的 DLL（见上）",
                            hostEnglish + " finds " + c.progid + " but no DLL it can load (see above)."});
        return false;
    }
    findings.push_back({Verdict::kOk, host + "按 ProgID" + Quoted(c.progid) + "可以找到该类",
                        hostEnglish + " finds " + c.progid + " by its ProgID."});
    return true;
}

void CheckTypeLibrary(const View& view, std::vector<Finding>& findings) {
    const std::wstring base = L"TypeLib\\" + Wide(dc::FormatGuid(dc::kLibId)) + L"\\" + Wide(dc::kLibVersionText);
    std::optional<std::wstring> path;
    for (const wchar_t* lcid : {L"\\0\\", L"\\409\\"})
        if (!path || path->empty()) path = DefaultValue(base + lcid + Wide(view.platform), view.flag);
    const std::string what = "类型库 " + dc::FormatGuid(dc::kLibId) + " " + dc::kLibVersionText + "（" + view.platform +
                             "）";
    const std::string whatEnglish = std::string("Type library ") + dc::FormatGuid(dc::kLibId) + " " +
                                    dc::kLibVersionText + " (" + view.platform + ")";
    if (!path || path->empty()) {
        findings.push_back({view.bits == kOwnBits ? Verdict::kProblem : Verdict::kNote, what + "没有注册",
                            whatEnglish + " is not registered."});
    } else if (!FileExists(AsSeenHere(*path, view.bits))) {
        findings.push_back({Verdict::kProblem, what + "注册的文件" + Quoted(Utf8(*path)) + "不存在",
                            whatEnglish + ": the registered file " + Utf8(*path) + " does not exist."});
    } else {
        findings.push_back({Verdict::kOk, what + "已注册：" + Quoted(Utf8(*path)),
                            whatEnglish + " is registered: " + Utf8(*path) + "."});
    }
}

}  // namespace

bool CheckRegistration(std::vector<Finding>& findings) {
    bool ownHostFindsAll = true;
    for (const View& view : kViews) {
        if (view.bits == 64 && !WindowsIs64Bit()) continue;  // 32-bit Windows has one view
        for (const dc::ClassInfo& c : dc::Classes()) CheckServer(view, c, findings);
        CheckTypeLibrary(view, findings);
        for (const dc::ClassInfo& c : dc::Classes()) {
            const bool found = CheckProgId(view, c, findings);
            if (view.bits == kOwnBits) ownHostFindsAll = ownHostFindsAll && found;
        }
    }
    return ownHostFindsAll;
}

WriteAccess MayWrite(const std::string& name, bool folder) {
    const std::wstring path = Wide(name);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return WriteAccess::kUnknown;
    // The read-only attribute stops writing to a file; on a folder it means nothing.
    if (!folder && (attributes & FILE_ATTRIBUTE_READONLY)) return WriteAccess::kNo;
    const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION |
                                       DACL_SECURITY_INFORMATION;
    DWORD size = 0;
    GetFileSecurityW(path.c_str(), parts, nullptr, 0, &size);
    if (size == 0) return WriteAccess::kUnknown;
    std::string descriptor(size, '\0');
    if (!GetFileSecurityW(path.c_str(), parts, descriptor.data(), size, &size)) return WriteAccess::kUnknown;
    HANDLE process = nullptr, token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &process)) return WriteAccess::kUnknown;
    const bool duplicated = DuplicateToken(process, SecurityImpersonation, &token);
    CloseHandle(process);
    if (!duplicated) return WriteAccess::kUnknown;
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    DWORD wanted = folder ? FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY : FILE_GENERIC_WRITE;
    MapGenericMask(&wanted, &mapping);
    PRIVILEGE_SET privileges{};
    DWORD privilegesSize = sizeof privileges, granted = 0;
    BOOL allowed = FALSE;
    const bool checked = AccessCheck(descriptor.data(), token, wanted, &mapping, &privileges, &privilegesSize, &granted,
                                     &allowed);
    CloseHandle(token);
    if (!checked) return WriteAccess::kUnknown;
    return allowed ? WriteAccess::kYes : WriteAccess::kNo;
}

}  // namespace dg::tools
