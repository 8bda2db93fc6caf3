#include "abi_object.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace dghost {
namespace {

std::string Describe(const std::string& what, dg_status status) {
    std::string text = what + " failed (" + StatusText(status) + ")";
    const char* description = dg_last_error();
    if (description && *description) text += ": " + std::string(description);
    return text;
}

}  // namespace

CallError::CallError(dg_status status, const std::string& what) : std::runtime_error(what), status_(status) {}

std::string StatusText(dg_status status) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(status));
    return buffer;
}

Object Object::Create(const char* progid) {
    dg_object* created = nullptr;
    const dg_status status = dg_create_object(progid, &created);
    if (status < 0 || !created) throw CallError(status, Describe(std::string("creating ") + progid, status));
    return Object(created);
}

Object::~Object() { Release(); }

Object::Object(Object&& other) noexcept
    : object_(std::exchange(other.object_, nullptr)),
      sink_(std::move(other.sink_)),
      cookie_(std::exchange(other.cookie_, 0)) {}

Object& Object::operator=(Object&& other) noexcept {
    if (this != &other) {
        Release();
        object_ = std::exchange(other.object_, nullptr);
        sink_ = std::move(other.sink_);
        cookie_ = std::exchange(other.cookie_, 0);
    }
    return *this;
}

void Object::Release() {
    if (!object_) return;
    if (cookie_ != 0) dg_unadvise(object_, cookie_);
    cookie_ = 0;
    dg_release(std::exchange(object_, nullptr));
    sink_.reset();
}

void Object::Call(const char* member) {
    std::string error;
    const dg_status status = TryCall(member, &error);
    if (status < 0) throw CallError(status, error);
}

dg_status Object::TryCall(const char* member, std::string* error) {
    if (!object_) {
        if (error) *error = std::string(member) + ": no object";
        return DG_E_POINTER;
    }
    std::int32_t dispid = 0;
    dg_status status = dg_get_dispid(object_, member, &dispid);
    if (status < 0) {
        if (error) *error = Describe(std::string("looking up ") + member, status);
        return status;
    }
    dg_variant result{};
    status = dg_invoke(object_, dispid, nullptr, 0, &result);
    if (status < 0 && error) *error = Describe(member, status);
    return status;
}

void Object::Advise(Sink sink) {
    if (!object_) throw CallError(DG_E_POINTER, "connecting events: no object");
    if (cookie_ != 0) {
        dg_unadvise(object_, cookie_);
        cookie_ = 0;
    }
    auto owned = std::make_unique<Sink>(std::move(sink));
    std::uint32_t cookie = 0;
    const dg_status status = dg_advise(object_, &Object::Trampoline, owned.get(), &cookie);
    if (status < 0) throw CallError(status, Describe("connecting events", status));
    sink_ = std::move(owned);
    cookie_ = cookie;
}

void Object::Trampoline(void* context, std::int32_t dispid, const char* eventName, const dg_variant* args,
                        std::uint32_t argc) {
    // Nothing may escape into the component's C frames.
    try {
        Event event;
        event.dispid = dispid;
        event.name = eventName ? eventName : "";
        for (std::uint32_t i = 0; args && i < argc; ++i) {
            EventArg arg;
            arg.vt = args[i].vt;
            switch (args[i].vt) {
                case DG_VT_I2: arg.integer = args[i].u.i2; break;
                case DG_VT_I4: arg.integer = args[i].u.i4; break;
                case DG_VT_BOOL: arg.integer = args[i].u.boolean; break;
                case DG_VT_DATE: arg.date = args[i].u.date; break;
                case DG_VT_BSTR: arg.text = args[i].u.bstr ? args[i].u.bstr : ""; break;
                default: break;
            }
            event.args.push_back(std::move(arg));
        }
        (*static_cast<Sink*>(context))(event);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dutygate-host: event handler failed: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "dutygate-host: event handler failed\n");
    }
}

}  // namespace dghost
