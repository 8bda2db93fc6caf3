// The object half of the C ABI: creation, member lookup, invocation, event
// sinks, reference counts, the last error and event pumping.
#include <memory>
#include <string>
#include <string_view>

#include "base/failure_text.h"
#include "component/core/class_table.h"
#include "component/c_abi/c_abi.h"
#include "component/core/guid.h"
#include "component/core/object.h"
#include "component/core/status.h"
#include "dutygate/dutygate.h"
#include "ui/app.h"

using namespace dg::component;
using dg::FailureText;
using dg::Quoted;

namespace dg::component {
namespace {

// A C callback as an event sink: the core's arguments as dg_variant values.
class CallbackSink final : public EventSink {
public:
    CallbackSink(dg_event_sink sink, void* context) : sink_(sink), context_(context) {}
    void Deliver(const EventInfo& event, EventValue* args, std::uint32_t argc) override {
        dg_variant values[kMaxEventArgs] = {};
        const std::uint32_t n = argc < kMaxEventArgs ? argc : kMaxEventArgs;
        for (std::uint32_t i = 0; i < n; ++i) {
            values[i].vt = args[i].vt;
            switch (args[i].vt) {
                case kVtI2: values[i].u.i2 = args[i].u.i2; break;
                case kVtDate: values[i].u.date = args[i].u.date; break;
                case kVtBstr: values[i].u.bstr = args[i].u.text; break;
                default: break;
            }
        }
        sink_(context_, event.dispid, event.name, values, n);
    }

private:
    dg_event_sink sink_;
    void* context_;
};

// Checks a text argument: null gives E_POINTER, malformed UTF-8 E_INVALIDARG.
dg_status CheckText(const char* text, std::string_view what) {
    if (text == nullptr) return Fail(DG_E_POINTER, std::string(what) + "是空指针");
    if (!IsValidUtf8(text)) return Fail(DG_E_INVALIDARG, std::string(what) + "不是有效的 UTF-8 文本");
    return DG_S_OK;
}

}  // namespace

}  // namespace dg::component

extern "C" {

DG_API dg_status dg_create_object(const char* progid_or_clsid, dg_object** out) {
    return Guarded([&]() -> dg_status {
        if (out == nullptr) return Fail(DG_E_POINTER, "输出指针是空指针");
        *out = nullptr;
        if (const dg_status st = CheckText(progid_or_clsid, "ProgID 或 CLSID "); st != DG_S_OK) return st;
        RunHandOffs();
        const std::string_view text = progid_or_clsid;
        const ClassInfo* cls = nullptr;
        if (!text.empty() && text.front() == '{') {
            Guid clsid{};
            if (!ParseGuid(text, clsid)) return Fail(DG_E_INVALID_CLASS_STRING, Quoted(text) + "不是有效的 CLSID");
            cls = FindClassByClsid(clsid);
            if (cls == nullptr) return Fail(DG_E_CLASS_NOT_REGISTERED, FailureText("类没有注册", text));
        } else {
            cls = FindClassByProgId(text);
            if (cls == nullptr) return Fail(DG_E_INVALID_CLASS_STRING, FailureText("无效的类名（ProgID）", text));
        }
        // Through the class factory, as the automation runtime creates objects.
        void* factory = nullptr;
        const dg_guid clsid = ToCGuid(*cls->clsid);
        dg_status st = DllGetClassObject(&clsid, &DG_IID_IClassFactory, &factory);
        if (st < 0) return st;
        auto* f = static_cast<dg_class_factory*>(factory);
        st = dg_factory_create_instance(f, out);
        dg_factory_release(f);
        return st;
    });
}

DG_API dg_status dg_get_predeclared(const char* class_name, dg_object** out) {
    return Guarded([&]() -> dg_status {
        if (out == nullptr) return Fail(DG_E_POINTER, "输出指针是空指针");
        *out = nullptr;
        if (const dg_status st = CheckText(class_name, "类名"); st != DG_S_OK) return st;
        RunHandOffs();
        const ClassInfo* cls = FindClassByName(class_name);
        if (cls == nullptr) return Fail(DG_E_UNKNOWN_NAME, FailureText("没有这个名称的类", class_name));
        Object* obj = PredeclaredObject(*cls);
        AddRef(obj);
        *out = Handle(obj);
        return DG_S_OK;
    });
}

DG_API dg_status dg_get_dispid(dg_object* handle, const char* member_name, int32_t* dispid) {
    return Guarded([&]() -> dg_status {
        Object* obj = Core(handle);
        if (dispid != nullptr) *dispid = -1;  // DISPID_UNKNOWN
        if (obj == nullptr || dispid == nullptr) return Fail(DG_E_POINTER);
        if (const dg_status st = CheckText(member_name, "成员名"); st != DG_S_OK) return st;
        RunHandOffs();
        if (const dg_status st = CheckCaller(obj); st != DG_S_OK) return st;
        const MemberInfo* member = FindMemberByName(obj->cls, member_name);
        if (member == nullptr)
            return Fail(DG_E_UNKNOWN_NAME,
                        FailureText(std::string(obj->cls.name) + " 没有这个名称的成员", member_name));
        *dispid = member->dispid;
        return DG_S_OK;
    });
}

DG_API dg_status dg_invoke(dg_object* handle, int32_t dispid, const dg_variant* args, uint32_t argc,
                           dg_variant* result) {
    (void)args;  // no member takes an argument
    return Guarded([&]() -> dg_status {
        Object* obj = Core(handle);
        if (result != nullptr) *result = dg_variant{};  // every member's result is empty
        if (obj == nullptr) return Fail(DG_E_POINTER);
        RunHandOffs();
        if (const dg_status st = CheckCaller(obj); st != DG_S_OK) return st;
        if (FindMemberByDispid(obj->cls, dispid) == nullptr) return Fail(DG_E_MEMBER_NOT_FOUND);
        if (argc != 0) return Fail(DG_E_BAD_PARAM_COUNT);
        return CallMember(obj, dispid);
    });
}

DG_API dg_status dg_advise(dg_object* handle, dg_event_sink sink, void* context, uint32_t* cookie) {
    return Guarded([&]() -> dg_status {
        Object* obj = Core(handle);
        if (cookie != nullptr) *cookie = 0;
        if (obj == nullptr || sink == nullptr || cookie == nullptr) return Fail(DG_E_POINTER);
        RunHandOffs();
        if (const dg_status st = CheckCaller(obj); st != DG_S_OK) return st;
        *cookie = Advise(obj, std::make_shared<CallbackSink>(sink, context));
        return DG_S_OK;
    });
}

DG_API dg_status dg_unadvise(dg_object* handle, uint32_t cookie) {
    return Guarded([&]() -> dg_status {
        Object* obj = Core(handle);
        if (obj == nullptr) return Fail(DG_E_POINTER);
        RunHandOffs();
        if (const dg_status st = CheckCaller(obj); st != DG_S_OK) return st;
        return Unadvise(obj, cookie) ? DG_S_OK : Fail(DG_E_NO_CONNECTION);
    });
}

DG_API uint32_t dg_add_ref(dg_object* obj) { return obj != nullptr ? AddRef(Core(obj)) : 0; }

DG_API uint32_t dg_release(dg_object* obj) { return obj != nullptr ? Release(Core(obj)) : 0; }

DG_API const char* dg_last_error(void) { return LastError(); }

DG_API const char* dg_status_text(dg_status status) { return dg::status::StandardDescription(status); }

DG_API int dg_display_check(const char** platform, const char** why) {
    // Per thread, like dg_last_error: valid until this thread's next call.
    thread_local dg::ui::DisplayCheck check;
    try {
        check = dg::ui::CheckDisplay();
    } catch (...) {
        check = dg::ui::DisplayCheck{false, "the display check failed", {}};
    }
    if (platform) *platform = check.platform.c_str();
    if (why) *why = check.why.c_str();
    return check.ok ? 1 : 0;
}

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
