#include "component/win32/registry_keys.h"

#include <oleauto.h>

#include <string>
#include <vector>

#include "component/core/class_table.h"
#include "component/core/registry_rows.h"
#include "component/core/status.h"
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

struct RegistryError {
    HRESULT status;
};

HKEY Root(Scope scope) { return scope == Scope::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

bool UnderWow64() {
    BOOL wow64 = FALSE;
    return sizeof(void*) == 4 && IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// The registry views. CLSID and Interface keys live once per view; ProgIDs
// and TypeLib are one key for both, reached without a view flag. Our own
// view is named explicitly, so that a host's redirection cannot move it.
REGSAM OwnView() { return sizeof(void*) == 8 ? KEY_WOW64_64KEY : (UnderWow64() ? KEY_WOW64_32KEY : 0); }
// The other bitness's view, or 0 on a system with only one.
REGSAM OtherView() { return sizeof(void*) == 8 ? KEY_WOW64_32KEY : (UnderWow64() ? KEY_WOW64_64KEY : 0); }

void Check(LONG err) {
    if (err != ERROR_SUCCESS) throw RegistryError{HRESULT_FROM_WIN32(err)};
}

void SetValue(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value, REGSAM view = 0) {
    HKEY key = nullptr;
    LONG err = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr);
    if (err == ERROR_SUCCESS) {
        err = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    Check(err);
}

void CreateKey(HKEY root, const std::wstring& path, REGSAM view = 0) {
    HKEY key = nullptr;
    Check(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr));
    RegCloseKey(key);
}

// Removes the key with everything under it, in the given view; a key that
// is not there is fine.
void DeleteTree(HKEY root, const std::wstring& path, REGSAM view = 0) {
    HKEY key = nullptr;
    LONG err = RegOpenKeyExW(root, path.c_str(), 0,
                             DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | view, &key);
    if (err == ERROR_FILE_NOT_FOUND) return;
    Check(err);
    err = RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
    if (err == ERROR_SUCCESS) err = RegDeleteKeyExW(root, path.c_str(), view, 0);
    if (err != ERROR_FILE_NOT_FOUND) Check(err);
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// True where the two views reach one Interface key (Wine keeps one view):
// a volatile probe made in ours shows in theirs.
bool InterfacesShared(HKEY root, REGSAM own, REGSAM other) {
    if (other == 0) return true;
    const std::wstring probe = Wide(InterfaceKey(kLibId)) + L".view";
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, probe.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_READ | own, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return true;  // cannot tell: keep what the other bitness may need
    RegCloseKey(key);
    const bool shared = KeyExists(root, probe, other);
    RegDeleteKeyExW(root, probe.c_str(), own, 0);
    return shared;
}

constexpr RowBitness kOwnBitness = sizeof(void*) == 8 ? RowBitness::kX64 : RowBitness::kX86;

// The registry view a row is written in: ours, named explicitly, for the
// keys that live once per view; none for the keys both views share.
REGSAM ViewOf(RowView view) { return view == RowView::kOwn ? OwnView() : 0; }

// The library's file for a locale and platform, ours by default.
std::wstring LibLocaleKey(LCID lcid, RowBitness bitness = kOwnBitness) {
    return Wide(LibFileKey(lcid, SysKindName(bitness)));
}

// Writes the rows that the DLL writes itself, of one part: those outside the
// library's key, or those in it, which go after the runtime's registration
// of the library has made it.
void WriteRows(HKEY root, const std::vector<RegistryRow>& rows, bool libraryPart) {
    for (const RegistryRow& row : rows) {
        if (row.writer != RowWriter::kServer || row.key.starts_with(LibKey()) != libraryPart) continue;
        const std::wstring key = Wide(row.key);
        if (!row.value)
            CreateKey(root, key, ViewOf(row.view));
        else
            SetValue(root, key, row.name ? Wide(*row.name).c_str() : nullptr, Wide(*row.value), ViewOf(row.view));
    }
}

HRESULT RegisterTypeLibrary(Scope scope, const std::wstring& path) {
    ITypeLib* lib = nullptr;
    HRESULT hr = OwnTypeLib(&lib);
    if (FAILED(hr)) return hr;
    std::wstring file = path;
    // The library has no help file: an empty help folder, where none would
    // make the runtime name the DLL's own folder, which differs per bitness
    // in the one key both share.
    wchar_t noHelp[] = L"";
    hr = scope == Scope::User ? RegisterTypeLibForUser(lib, file.data(), noHelp)
                              : RegisterTypeLib(lib, file.data(), noHelp);
    lib->Release();
    return hr;
}

HRESULT WriteAll(Scope scope) {
    const std::wstring path = ModulePath();
    if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
    const std::vector<RegistryRow> rows = BitnessRows(kOwnBitness, Utf8(path));
    WriteRows(Root(scope), rows, false);
    const HRESULT hr = RegisterTypeLibrary(scope, path);
    if (FAILED(hr)) return hr;
    // After the runtime's: the file for the neutral locale, which the
    // runtime's type library marshaller asks for.
    WriteRows(Root(scope), rows, true);
    return S_OK;
}

HRESULT RemoveAll(Scope scope) {
    const HKEY root = Root(scope);
    const REGSAM own = OwnView(), other = OtherView();
    for (const ClassInfo& cls : Classes()) {
        // Looked up after our own key is gone: where a root keeps one view
        // for both bitnesses, this finds nothing of ours.
        DeleteTree(root, Wide(ClassRootKey(cls, KeyRoot::kClass)), own);
        const bool otherHasClass = other != 0 &&
                                   KeyExists(root, Wide(ClassRootKey(cls, ServerKey().root) + ServerKey().subkey),
                                             other);
        if (!otherHasClass) DeleteTree(root, Wide(ClassRootKey(cls, KeyRoot::kProgId)));
    }
    // The other bitness registers the library while its file is named in
    // the shared TypeLib key.
    const RowBitness theirs = kOwnBitness == RowBitness::kX64 ? RowBitness::kX86 : RowBitness::kX64;
    const bool otherHasLibrary = other != 0 && KeyExists(root, LibLocaleKey(kLibLcid, theirs), 0);
    const bool ownInterfaces = !otherHasLibrary || !InterfacesShared(root, own, other);
    DeleteTree(root, LibLocaleKey(0));
    if (otherHasLibrary) {
        DeleteTree(root, LibLocaleKey(kLibLcid));
    } else {
        const GUID libid = ToWinGuid(kLibId);
        BSTR registered = nullptr;
        if (SUCCEEDED(QueryPathOfRegTypeLib(libid, kLibVersionMajor, kLibVersionMinor, kLibLcid, &registered))) {
            SysFreeString(registered);
            const HRESULT hr = scope == Scope::User ? UnRegisterTypeLibForUser(libid, kLibVersionMajor,
                                                                               kLibVersionMinor, kLibLcid, kOwnSysKind)
                                                    : UnRegisterTypeLib(libid, kLibVersionMajor, kLibVersionMinor,
                                                                        kLibLcid, kOwnSysKind);
            if (FAILED(hr) && hr != TYPE_E_REGISTRYACCESS && hr != TYPE_E_LIBNOTREGISTERED && hr != TYPE_E_INVALIDSTATE)
                return hr;
        }
        // Whatever the runtime left behind.
        const std::wstring libKey = Wide(LibKey());
        DeleteTree(root, Wide(LibVersionKey()));
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, libKey.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            DWORD subkeys = 0;
            RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr);
            RegCloseKey(key);
            if (subkeys == 0) DeleteTree(root, libKey);
        }
    }
    // Our own view's interface keys; where the views are one and the other
    // bitness still registers the library, they are its keys too.
    if (ownInterfaces) {
        for (const ClassInfo& cls : Classes()) {
            DeleteTree(root, Wide(InterfaceKey(*cls.iid)), own);
            DeleteTree(root, Wide(InterfaceKey(*cls.diid)), own);
        }
    }
    return S_OK;
}

template <typename Body>
HRESULT Guard(Body&& body) noexcept {
    try {
        return body();
    } catch (const RegistryError& e) {
        return e.status;
    } catch (...) {
        return FailFromCurrentException();  // std::bad_alloc: E_OUTOFMEMORY; anything else: E_UNEXPECTED
    }
}

}  // namespace

HRESULT Register(Scope scope) noexcept {
    const HRESULT hr = Guard([&] { return WriteAll(scope); });
    // Half a registration helps nobody: take back what was written.
    if (FAILED(hr)) Guard([&] { return RemoveAll(scope); });
    return hr;
}

HRESULT Unregister(Scope scope) noexcept {
    return Guard([&] { return RemoveAll(scope); });
}

}  // namespace dg::component::win32
