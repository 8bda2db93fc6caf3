// Dutygate.dll's entry points: DllMain, the class factories,
// DllGetClassObject and DllCanUnloadNow, and the registration exports.
#include "component/win32/module.h"

#include <objbase.h>

#include <atomic>
#include <mutex>
#include <new>

#include "base/system_message.h"
#include "component/core/class_table.h"
#include "component/core/object.h"
#include "component/core/status.h"
#include "component/win32/com_object.h"
#include "component/win32/registry_keys.h"
#include "component/win32/win_guid.h"

namespace dg::component::win32 {
namespace {

HINSTANCE moduleHandle = nullptr;
std::atomic<long> moduleUses{0};
std::atomic<long> serverLocks{0};
std::atomic<bool> pinned{false};

// LockServer(FALSE) takes back one lock that LockServer(TRUE) gave; one
// without a lock to take back changes nothing.
void UnlockServer() noexcept {
    long locks = serverLocks.load();
    while (locks > 0 && !serverLocks.compare_exchange_weak(locks, locks - 1)) {
    }
}

std::mutex typeLibLock;
ITypeLib* typeLib = nullptr;  // kept for the life of the process

// One factory per class, as long-lived as the DLL: its count does not keep
// the DLL loaded; LockServer does.
class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(const ClassInfo& cls) : cls_(cls) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (out != nullptr) *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return CreateComObject(cls_, iid, out);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            ++serverLocks;
        else
            UnlockServer();
        return S_OK;
    }

private:
    const ClassInfo& cls_;
};

ClassFactory passwordFactory{ClassOf(ClassKind::Password)};
ClassFactory shiftFactory{ClassOf(ClassKind::ShiftClass)};

}  // namespace

}  // namespace dg::component::win32

namespace dg::component {

// The system's text in the user's language; the standard English text where
// the system has none for the code.
std::string PlatformStatusText(Status status) {
    const char* standard = dg::status::TextsOf(status).standard;
    const std::string system = SystemMessage(static_cast<unsigned long>(status));
    if (*standard && system.rfind("错误 ", 0) == 0) return std::string(standard) + "（" + system + "）";
    return system;
}

}  // namespace dg::component

namespace dg::component::win32 {

HINSTANCE ModuleHandle() noexcept { return moduleHandle; }

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(moduleHandle, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void LockModule() noexcept { ++moduleUses; }
void UnlockModule() noexcept { --moduleUses; }
bool ModuleInUse() noexcept { return moduleUses.load() > 0 || serverLocks.load() > 0 || LiveObjects() > 0; }

void PinModule() noexcept {
    if (pinned.exchange(true)) return;
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&PinModule), &self);
}

HRESULT OwnTypeLib(ITypeLib** out) noexcept {
    *out = nullptr;
    try {
        std::lock_guard lock(typeLibLock);
        if (typeLib == nullptr) {
            const std::wstring path = ModulePath();
            const HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &typeLib);
            if (FAILED(hr)) return hr;
        }
        typeLib->AddRef();
        *out = typeLib;
        return S_OK;
    } catch (...) {
        return FailFromCurrentException();
    }
}

HRESULT OwnTypeInfo(REFGUID guid, ITypeInfo** out) noexcept {
    *out = nullptr;
    ITypeLib* lib = nullptr;
    HRESULT hr = OwnTypeLib(&lib);
    if (FAILED(hr)) return hr;
    hr = lib->GetTypeInfoOfGuid(guid, out);
    lib->Release();
    return hr;
}

}  // namespace dg::component::win32

using namespace dg::component;
using namespace dg::component::win32;

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) moduleHandle = instance;
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    ClassFactory* factory = nullptr;
    if (IsGuid(clsid, kClsidPassword))
        factory = &passwordFactory;
    else if (IsGuid(clsid, kClsidShiftClass))
        factory = &shiftFactory;
    else
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory->QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() { return ModuleInUse() ? S_FALSE : S_OK; }

STDAPI DllRegisterServer() { return Register(Scope::Machine); }

STDAPI DllUnregisterServer() { return Unregister(Scope::Machine); }

// regsvr32 /n /i:user Dutygate.dll (and /u): registration for the current
// user only, for operators without administrator rights.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    Scope scope = Scope::Machine;
    if (commandLine != nullptr && *commandLine != L'\0') {
        if (lstrcmpiW(commandLine, L"user") != 0) return E_INVALIDARG;
        scope = Scope::User;
    }
    return install ? Register(scope) : Unregister(scope);
}

}  // extern "C"
