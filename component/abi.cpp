// The object half of the C ABI: creation, member lookup, invocation, event
// sinks, reference counts, the last error and event pumping.
#include <atomic>
#include <string>
#include <string_view>

#include "access/clsPassword.h"
#include "component/class_table.h"
#include "component/guid.h"
#include "component/object.h"
#include "component/status.h"
#include "component/testing_hooks.h"
#include "dutygate/dutygate.h"
#include "shift/clsShiftClass.h"
#include "shift/errors.h"
#include "ui/app.h"

using namespace dg::component;

namespace dg::component {
namespace {

std::atomic<ClockSource> clockSource{&shift::ReadLocalClock};

// Checks a text argument: null gives E_POINTER, malformed UTF-8 E_INVALIDARG.
dg_status CheckText(const char* text, std::string_view what) {
    if (text == nullptr) return Fail(DG_E_POINTER, std::string(what) + " is a null pointer");
    if (!IsValidUtf8(text)) return Fail(DG_E_INVALIDARG, std::string(what) + " is not valid UTF-8");
    return DG_S_OK;
}

}  // namespace

void SetClockForTesting(ClockSource source) noexcept {
    clockSource.store(source != nullptr ? source : &shift::ReadLocalClock);
}

}  // namespace dg::component

extern "C" {

DG_API dg_status dg_create_object(const char* progid_or_clsid, dg_object** out) {
    return Guarded([&]() -> dg_status {
        if (out == nullptr) return Fail(DG_E_POINTER, "the output pointer is null");
        *out = nullptr;
        if (const dg_status st = CheckText(progid_or_clsid, "the ProgID or CLSID"); st != DG_S_OK) return st;
        RunHandOffs();
        const std::string_view text = progid_or_clsid;
        const ClassInfo* cls = nullptr;
        if (!text.empty() && text.front() == '{') {
            dg_guid clsid{};
            if (!ParseGuid(text, clsid))
                return Fail(DG_E_INVALID_CLASS_STRING, "'" + std::string(text) + "' is not a CLSID");
            cls = FindClassByClsid(clsid);
            if (cls == nullptr)
                return Fail(DG_E_CLASS_NOT_REGISTERED, "Class not registered: " + std::string(text));
        } else {
            cls = FindClassByProgId(text);
            if (cls == nullptr)
                return Fail(DG_E_INVALID_CLASS_STRING, "Invalid class string: '" + std::string(text) + "'");
        }
        // Through the class factory, as the automation runtime creates objects.
        void* factory = nullptr;
        dg_status st = DllGetClassObject(cls->clsid, &DG_IID_IClassFactory, &factory);
        if (st < 0) return st;
        auto* f = static_cast<dg_class_factory*>(factory);
        st = dg_factory_create_instance(f, out);
        dg_factory_release(f);
        return st;
    });
}

DG_API dg_status dg_get_predeclared(const char* class_name, dg_object** out) {
    return Guarded([&]() -> dg_status {
        if (out == nullptr) return Fail(DG_E_POINTER, "the output pointer is null");
        *out = nullptr;
        if (const dg_status st = CheckText(class_name, "the class name"); st != DG_S_OK) return st;
        RunHandOffs();
        const ClassInfo* cls = FindClassByName(class_name);
        if (cls == nullptr) return Fail(DG_E_UNKNOWN_NAME, "No class named '" + std::string(class_name) + "'");
        dg_object* obj = PredeclaredObject(*cls);
        AddRef(obj);
        *out = obj;
        return DG_S_OK;
    });
}

DG_API dg_status dg_get_dispid(dg_object* obj, const char* member_name, int32_t* dispid) {
    return Guarded([&]() -> dg_status {
        if (dispid != nullptr) *dispid = -1;  // DISPID_UNKNOWN
        if (obj == nullptr || dispid == nullptr) return Fail(DG_E_POINTER);
        if (const dg_status st = CheckText(member_name, "the member name"); st != DG_S_OK) return st;
        RunHandOffs();
        if (const dg_status st = CheckCaller(obj); st != DG_S_OK) return st;
        const MemberInfo* member = FindMemberByName(obj->cls, member_name);
        if (member == nullptr)
            return Fail(DG_E_UNKNOWN_NAME, std::string(obj->cls.name) + " has no member '" + member_name + "'");
        *dispid = member->dispid;
        return DG_S_OK;
    });
}

DG_API dg_status dg_invoke(dg_object* obj, int32_t dispid, const dg_variant* args, uint32_t argc,
                           dg_variant* result) {
    (void)args;  // no member takes an argument
    return Guarded([&]() -> dg_status {
        if (result != nullptr) *result = dg_variant{};  // every member's result is empty
        if (obj == nullptr) return Fail(DG_E_POINTER);
        RunHandOffs();
        if (const dg_status st = CheckCaller(obj); st != DG_S_OK) return st;
        if (FindMemberByDispid(obj->cls, dispid) == nullptr) return Fail(DG_E_MEMBER_NOT_FOUND);
        if (argc != 0) return Fail(DG_E_BAD_PARAM_COUNT);
        BusyScope busy(obj);
        switch (dispid) {
            case DG_DISPID_SHOWDIALOG: obj->password->ShowDialog(); break;
            case DG_DISPID_SHOWREVISE: obj->password->ShowRevise(); break;
            case DG_DISPID_SHOWLANDING: obj->password->ShowLanding(); break;
            case DG_DISPID_SHOWSETCLASS: obj->shift->ShowSetClass(); break;
            case DG_DISPID_SHIFTCLASS: {
                const std::int32_t status = obj->shift->ShiftClassAt(clockSource.load(std::memory_order_relaxed)());
                if (status != 0) return Fail(status, dg::shift::DescribeStatus(status));
                break;
            }
            default: return Fail(DG_E_MEMBER_NOT_FOUND);
        }
        return DG_S_OK;
    });
}

DG_API dg_status dg_advise(dg_object* obj, dg_event_sink sink, void* context, uint32_t* cookie) {
    return Guarded([&]() -> dg_status {
        if (cookie != nullptr) *cookie = 0;
        if (obj == nullptr || sink == nullptr || cookie == nullptr) return Fail(DG_E_POINTER);
        RunHandOffs();
        if (const dg_status st = CheckCaller(obj); st != DG_S_OK) return st;
        std::uint32_t next = obj->lastCookie + 1;
        if (next == 0) next = 1;  // 0 never names a connection
        obj->sinks.push_back(SinkEntry{next, sink, context});
        obj->lastCookie = next;
        *cookie = next;
        return DG_S_OK;
    });
}

DG_API dg_status dg_unadvise(dg_object* obj, uint32_t cookie) {
    return Guarded([&]() -> dg_status {
        if (obj == nullptr) return Fail(DG_E_POINTER);
        RunHandOffs();
        if (const dg_status st = CheckCaller(obj); st != DG_S_OK) return st;
        for (auto it = obj->sinks.begin(); it != obj->sinks.end(); ++it) {
            if (it->cookie == cookie) {
                obj->sinks.erase(it);
                return DG_S_OK;
            }
        }
        return Fail(DG_E_NO_CONNECTION);
    });
}

DG_API uint32_t dg_add_ref(dg_object* obj) { return obj != nullptr ? AddRef(obj) : 0; }

DG_API uint32_t dg_release(dg_object* obj) { return obj != nullptr ? Release(obj) : 0; }

DG_API const char* dg_last_error(void) { return LastError(); }

DG_API int dg_process_events(int max_ms) {
    RunHandOffs();
    int open = -1;
    try {
        open = dg::ui::ProcessEvents(max_ms < 0 ? 0 : max_ms);
    } catch (...) {
        FailFromCurrentException();
        open = -1;
    }
    RunHandOffs();  // releases made by handlers that just ran
    return open;
}

}  // extern "C"
