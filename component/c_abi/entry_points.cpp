// The standard in-process server entry points and the class factories.
#include <atomic>
#include <cstdio>

#include "base/failure_text.h"
#include "component/core/class_table.h"
#include "component/c_abi/c_abi.h"
#include "component/core/guid.h"
#include "component/core/object.h"
#include "component/registry/registry_file.h"
#include "component/core/status.h"
#include "component/c_abi/type_library.h"
#include "dutygate/dutygate.h"

using namespace dg::component;
using dg::FailureText;

// The standard English text, or the code for a status without one.
std::string dg::component::PlatformStatusText(Status status) {
    const char* standard = dg::status::TextsOf(status).standard;
    if (*standard) return standard;
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(status));
    return std::string("错误 ") + code;
}

// One factory per class, alive as long as the library; its count only tells
// the host when it may stop using it.
struct dg_class_factory {
    const ClassInfo* cls;
    std::atomic<std::uint32_t> refs;
};

namespace {

dg_class_factory factories[kClassCount] = {
    {&ClassOf(ClassKind::Password), {0}},
    {&ClassOf(ClassKind::ShiftClass), {0}},
};
std::atomic<long> serverLocks{0};

bool IsFactory(const dg_class_factory* f) noexcept {
    for (const dg_class_factory& known : factories) {
        if (f == &known) return true;
    }
    return false;
}

}  // namespace

extern "C" {

DG_API dg_status DllGetClassObject(const dg_guid* clsid, const dg_guid* iid, void** out) {
    return Guarded([&]() -> dg_status {
        if (out != nullptr) *out = nullptr;
        if (clsid == nullptr || iid == nullptr || out == nullptr) return Fail(DG_E_POINTER);
        const ClassInfo* cls = FindClassByClsid(ToGuid(*clsid));
        if (cls == nullptr)
            return Fail(DG_E_CLASS_NOT_AVAILABLE, FailureText("本库不提供所要求的类", FormatGuid(ToGuid(*clsid))));
        if (!SameGuid(ToGuid(*iid), ToGuid(DG_IID_IClassFactory)) && !SameGuid(ToGuid(*iid), ToGuid(DG_IID_IUnknown)))
            return Fail(DG_E_NOINTERFACE,
                        FailureText("类工厂只提供 IClassFactory 和 IUnknown 接口，不提供", FormatGuid(ToGuid(*iid))));
        dg_class_factory* f = &factories[static_cast<int>(cls->kind)];
        f->refs.fetch_add(1);
        *out = f;
        return DG_S_OK;
    });
}

DG_API dg_status DllCanUnloadNow(void) {
    return (LiveObjects() == 0 && serverLocks.load() == 0) ? DG_S_OK : DG_S_FALSE;
}

DG_API dg_status dg_factory_create_instance(dg_class_factory* factory, dg_object** out) {
    return Guarded([&]() -> dg_status {
        if (out != nullptr) *out = nullptr;
        if (factory == nullptr || out == nullptr) return Fail(DG_E_POINTER);
        if (!IsFactory(factory)) return Fail(DG_E_INVALIDARG, "参数不是本库的类工厂");
        RunHandOffs();
        *out = Handle(NewObject(*factory->cls));
        return DG_S_OK;
    });
}

DG_API dg_status dg_factory_lock_server(dg_class_factory* factory, int lock) {
    return Guarded([&]() -> dg_status {
        if (factory == nullptr) return Fail(DG_E_POINTER);
        if (!IsFactory(factory)) return Fail(DG_E_INVALIDARG, "参数不是本库的类工厂");
        if (lock != 0) {
            serverLocks.fetch_add(1);
            return DG_S_OK;
        }
        long held = serverLocks.load();
        do {
            if (held == 0) return Fail(DG_E_UNEXPECTED, "服务器没有可以解除的锁定");
        } while (!serverLocks.compare_exchange_weak(held, held - 1));
        return DG_S_OK;
    });
}

DG_API uint32_t dg_factory_add_ref(dg_class_factory* factory) {
    if (factory == nullptr || !IsFactory(factory)) return 0;
    return factory->refs.fetch_add(1) + 1;
}

DG_API uint32_t dg_factory_release(dg_class_factory* factory) {
    if (factory == nullptr || !IsFactory(factory)) return 0;
    std::uint32_t count = factory->refs.load();
    do {
        if (count == 0) return 0;
    } while (!factory->refs.compare_exchange_weak(count, count - 1));
    return count - 1;
}

DG_API dg_status DllRegisterServer(void) {
    return Guarded([]() -> dg_status { return RegisterServer(); });
}

DG_API dg_status DllUnregisterServer(void) {
    return Guarded([]() -> dg_status { return UnregisterServer(); });
}

DG_API const char* dg_type_library(void) { return TypeLibraryJson(); }

DG_API const char* dg_version(void) { return VersionText(); }

DG_API const char* dg_version_record(void) { return VersionRecordJson(); }

}  // extern "C"
