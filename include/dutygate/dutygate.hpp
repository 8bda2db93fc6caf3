// Dutygate: a thin C++ layer over the C interface in dutygate.h.
//
//   auto shift = dutygate::Object::Create("Dutygate.clsShiftClass");
//   auto link = shift.Advise([](const dutygate::Event& e) { ... e.Bstr(1) ... });
//   shift.Call("ShiftClass");
//
// Failures throw dutygate::Error with the status and dg_last_error()'s text.
// Objects keep the C interface's thread rules: use them on the thread that
// created them (copies and destruction work anywhere).
#ifndef DUTYGATE_DUTYGATE_HPP
#define DUTYGATE_DUTYGATE_HPP

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "dutygate/dutygate.h"

namespace dutygate {

class Error : public std::runtime_error {
public:
    Error(dg_status status, const std::string& description)
        : std::runtime_error(description), status_(status) {}
    dg_status status() const noexcept { return status_; }

private:
    dg_status status_;
};

inline void Check(dg_status status) {
    if (status < 0) throw Error(status, dg_last_error());
}

// One event as a sink receives it; valid for the duration of the handler.
struct Event {
    std::int32_t dispid;
    std::string_view name;
    const dg_variant* args;
    std::uint32_t argc;

    const dg_variant& Arg(std::uint32_t i) const {
        if (i >= argc) throw std::out_of_range("event argument index");
        return args[i];
    }
    std::int16_t I2(std::uint32_t i) const { return Expect(i, DG_VT_I2).u.i2; }
    std::string_view Bstr(std::uint32_t i) const { return Expect(i, DG_VT_BSTR).u.bstr; }
    double Date(std::uint32_t i) const { return Expect(i, DG_VT_DATE).u.date; }

private:
    const dg_variant& Expect(std::uint32_t i, std::uint16_t vt) const {
        const dg_variant& v = Arg(i);
        if (v.vt != vt) throw std::invalid_argument("event argument of another type");
        return v;
    }
};

using EventHandler = std::function<void(const Event&)>;
class Connection;

// One reference to an object; copies add references.
class Object {
public:
    Object() noexcept = default;
    // Takes over a reference the caller holds.
    static Object Adopt(dg_object* obj) noexcept { return Object(obj); }

    static Object Create(const std::string& progidOrClsid) {
        dg_object* obj = nullptr;
        Check(dg_create_object(progidOrClsid.c_str(), &obj));
        return Object(obj);
    }
    static Object Predeclared(const std::string& className) {
        dg_object* obj = nullptr;
        Check(dg_get_predeclared(className.c_str(), &obj));
        return Object(obj);
    }

    Object(const Object& other) noexcept : obj_(other.obj_) {
        if (obj_ != nullptr) dg_add_ref(obj_);
    }
    Object(Object&& other) noexcept : obj_(std::exchange(other.obj_, nullptr)) {}
    Object& operator=(Object other) noexcept {
        std::swap(obj_, other.obj_);
        return *this;
    }
    ~Object() { Reset(); }

    void Reset() noexcept {
        if (obj_ != nullptr) dg_release(std::exchange(obj_, nullptr));
    }
    dg_object* get() const noexcept { return obj_; }
    explicit operator bool() const noexcept { return obj_ != nullptr; }

    std::int32_t DispId(const std::string& member) const {
        std::int32_t id = 0;
        Check(dg_get_dispid(obj_, member.c_str(), &id));
        return id;
    }
    // Every member takes no argument and returns the empty value.
    void Invoke(std::int32_t dispid) const { Check(dg_invoke(obj_, dispid, nullptr, 0, nullptr)); }
    void Call(const std::string& member) const { Invoke(DispId(member)); }

    // Connects `handler` for as long as the returned Connection lives.
    inline Connection Advise(EventHandler handler) const;

private:
    explicit Object(dg_object* obj) noexcept : obj_(obj) {}
    dg_object* obj_ = nullptr;
};

// An event connection; disconnects when destroyed or on Disconnect(). A
// handler may disconnect its own connection while it runs.
class Connection {
public:
    Connection() = default;
    Connection(Connection&&) noexcept = default;
    Connection& operator=(Connection&& other) noexcept {
        if (this != &other) {
            Disconnect();
            obj_ = std::move(other.obj_);
            cookie_ = std::exchange(other.cookie_, 0);
            handler_ = std::move(other.handler_);
        }
        return *this;
    }
    ~Connection() { Disconnect(); }

    // On the object's thread. Elsewhere the sink stays connected, so its
    // handler is kept (leaked) rather than freed under it.
    void Disconnect() noexcept {
        if (cookie_ != 0 && dg_unadvise(obj_.get(), std::exchange(cookie_, 0)) < 0) (void)handler_.release();
        obj_.Reset();
        handler_.reset();
    }
    bool Connected() const noexcept { return cookie_ != 0; }

private:
    friend class Object;
    static void Sink(void* context, std::int32_t dispid, const char* name, const dg_variant* args,
                     std::uint32_t argc) noexcept {
        try {
            // A copy: the handler may end its own connection while it runs.
            const EventHandler handler = *static_cast<const EventHandler*>(context);
            handler(Event{dispid, name != nullptr ? name : "", args, argc});
        } catch (...) {
            // Nothing crosses back into the library.
        }
    }

    Object obj_;
    std::uint32_t cookie_ = 0;
    std::unique_ptr<EventHandler> handler_;
};

inline Connection Object::Advise(EventHandler handler) const {
    Connection c;
    c.handler_ = std::make_unique<EventHandler>(std::move(handler));
    Check(dg_advise(obj_, &Connection::Sink, c.handler_.get(), &c.cookie_));
    c.obj_ = *this;
    return c;
}

}  // namespace dutygate

#endif  // DUTYGATE_DUTYGATE_HPP
