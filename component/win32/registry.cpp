#include "component/win32/registry.h"

#include <oleauto.h>

#include <cwchar>
#include <string>

#include "component/class_table.h"
#include "component/guid.h"
#include "component/win32/module.h"
#include "component/win32/win_guid.h"

// MinGW's headers leave these out; oleaut32 has them since Windows Vista.
extern "C" {
WINOLEAUTAPI RegisterTypeLibForUser(ITypeLib* lib, OLECHAR* path, OLECHAR* helpDir);
WINOLEAUTAPI UnRegisterTypeLibForUser(REFGUID libid, WORD major, WORD minor, LCID lcid, SYSKIND kind);
}

namespace dg::component::win32 {
namespace {

constexpr SYSKIND kOwnSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
constexpr const wchar_t* kOwnSysKindName = sizeof(void*) == 8 ? L"win64" : L"win32";
constexpr const wchar_t* kClasses = L"Software\\Classes\\";

struct RegistryError {
    HRESULT status;
};

HKEY Root(Scope scope) { return scope == Scope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

std::wstring GuidText(const Guid& g) { return Wide(FormatGuid(g)); }

// The other bitness's registry view, or 0 on a system with only one.
REGSAM OtherView() {
    if (sizeof(void*) == 8) return KEY_WOW64_32KEY;
    BOOL wow64 = FALSE;
    return (IsWow64Process(GetCurrentProcess(), &wow64) && wow64) ? KEY_WOW64_64KEY : 0;
}

void SetValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    LONG err = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (err == ERROR_SUCCESS) {
        err = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    if (err != ERROR_SUCCESS) throw RegistryError{HRESULT_FROM_WIN32(err)};
}

void CreateKey(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    const LONG err = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (err != ERROR_SUCCESS) throw RegistryError{HRESULT_FROM_WIN32(err)};
    RegCloseKey(key);
}

void DeleteTree(HKEY root, const std::wstring& path) {
    const LONG err = RegDeleteTreeW(root, path.c_str());
    if (err == ERROR_SUCCESS) RegDeleteKeyW(root, path.c_str());
    if (err != ERROR_SUCCESS && err != ERROR_FILE_NOT_FOUND) throw RegistryError{HRESULT_FROM_WIN32(err)};
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::wstring LibKey() { return std::wstring(kClasses) + L"TypeLib\\" + GuidText(kLibId); }

// The library's own locale subkey ("409") and the neutral one ("0").
std::wstring LibLocaleKey(LCID lcid) {
    wchar_t text[16];
    swprintf(text, 16, L"%lx", static_cast<unsigned long>(lcid));
    return LibKey() + L"\\3.0\\" + text + L"\\" + kOwnSysKindName;
}

std::wstring ClassKey(const ClassInfo& cls) { return std::wstring(kClasses) + L"CLSID\\" + GuidText(*cls.clsid); }

void WriteClass(HKEY root, const ClassInfo& cls, const std::wstring& path) {
    const std::wstring key = ClassKey(cls);
    const std::wstring progid = Wide(cls.progid);
    SetValue(root, key, nullptr, progid);
    SetValue(root, key + L"\\InprocServer32", nullptr, path);
    SetValue(root, key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    SetValue(root, key + L"\\ProgID", nullptr, progid);
    SetValue(root, key + L"\\VersionIndependentProgID", nullptr, progid);
    SetValue(root, key + L"\\TypeLib", nullptr, GuidText(kLibId));
    SetValue(root, key + L"\\VERSION", nullptr, L"3.0");
    CreateKey(root, key + L"\\Programmable");
    SetValue(root, kClasses + progid, nullptr, progid);
    SetValue(root, kClasses + progid + L"\\CLSID", nullptr, GuidText(*cls.clsid));
}

HRESULT RegisterTypeLibrary(Scope scope, const std::wstring& path) {
    ITypeLib* lib = nullptr;
    HRESULT hr = OwnTypeLib(&lib);
    if (FAILED(hr)) return hr;
    std::wstring file = path;
    hr = scope == Scope::User ? RegisterTypeLibForUser(lib, file.data(), nullptr)
                              : RegisterTypeLib(lib, file.data(), nullptr);
    lib->Release();
    return hr;
}

}  // namespace

HRESULT Register(Scope scope) noexcept {
    try {
        const std::wstring path = ModulePath();
        if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
        for (const ClassInfo& cls : Classes()) WriteClass(Root(scope), cls, path);
        const HRESULT hr = RegisterTypeLibrary(scope, path);
        // The runtime's type library marshaller asks for the neutral locale,
        // which does not fall back to the library's own 0x0409: name the file
        // there too, so that other apartments reach the dual interfaces.
        if (SUCCEEDED(hr)) SetValue(Root(scope), LibLocaleKey(0), nullptr, path);
        return hr;
    } catch (const RegistryError& e) {
        return e.status;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT Unregister(Scope scope) noexcept {
    try {
        const HKEY root = Root(scope);
        const REGSAM other = OtherView();
        bool otherRegistered = false;
        for (const ClassInfo& cls : Classes()) {
            // Looked up after our own key is gone: where a root keeps one view
            // for both bitnesses, this finds nothing of ours.
            DeleteTree(root, ClassKey(cls));
            const bool otherHasClass = other != 0 && KeyExists(root, ClassKey(cls) + L"\\InprocServer32", other);
            if (!otherHasClass) DeleteTree(root, kClasses + Wide(cls.progid));
            otherRegistered = otherRegistered || otherHasClass;
        }
        const std::wstring libKey = LibKey();
        DeleteTree(root, LibLocaleKey(0));
        if (otherRegistered) {
            // The other bitness still uses the library and its interfaces.
            DeleteTree(root, LibLocaleKey(kLibLcid));
            return S_OK;
        }
        const GUID libid = ToWinGuid(kLibId);
        BSTR registered = nullptr;
        if (SUCCEEDED(QueryPathOfRegTypeLib(libid, kLibVersionMajor, kLibVersionMinor, kLibLcid, &registered))) {
            SysFreeString(registered);
            const HRESULT hr =
                scope == Scope::User
                    ? UnRegisterTypeLibForUser(libid, kLibVersionMajor, kLibVersionMinor, kLibLcid, kOwnSysKind)
                    : UnRegisterTypeLib(libid, kLibVersionMajor, kLibVersionMinor, kLibLcid, kOwnSysKind);
            if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_LIBNOTREGISTERED) return hr;
        }
        // Whatever the runtime left behind.
        DeleteTree(root, libKey + L"\\3.0");
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, libKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            DWORD subkeys = 0;
            RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr);
            RegCloseKey(key);
            if (subkeys == 0) DeleteTree(root, libKey);
        }
        for (const ClassInfo& cls : Classes()) {
            DeleteTree(root, std::wstring(kClasses) + L"Interface\\" + GuidText(*cls.iid));
            DeleteTree(root, std::wstring(kClasses) + L"Interface\\" + GuidText(*cls.diid));
        }
        return S_OK;
    } catch (const RegistryError& e) {
        return e.status;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace dg::component::win32
