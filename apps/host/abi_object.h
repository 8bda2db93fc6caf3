#pragma once
// A small owner of one Dutygate object, written on the public C interface
// only: creation by ProgID, calls by member name, one event sink whose
// arguments arrive copied into plain C++ values.
#include <dutygate/dutygate.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace dghost {

// A failed call: the status and the component's description of it.
class CallError : public std::runtime_error {
public:
    CallError(dg_status status, const std::string& what);
    dg_status Status() const { return status_; }

private:
    dg_status status_;
};

// "0x800A000D" for any status.
std::string StatusText(dg_status status);

// One event argument, owned (strings copied out of the callback).
struct EventArg {
    std::uint16_t vt = DG_VT_EMPTY;
    std::int32_t integer = 0;  // DG_VT_I2, DG_VT_I4, DG_VT_BOOL
    double date = 0;           // DG_VT_DATE
    std::string text;          // DG_VT_BSTR
};

struct Event {
    std::int32_t dispid = 0;
    std::string name;
    std::vector<EventArg> args;
};

class Object {
public:
    using Sink = std::function<void(const Event&)>;

    // Throws CallError when the component refuses the creation.
    static Object Create(const char* progid);

    Object() = default;
    ~Object();
    Object(Object&& other) noexcept;
    Object& operator=(Object&& other) noexcept;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    explicit operator bool() const { return object_ != nullptr; }

    // Looks the member up by name and invokes it with no arguments.
    // Throws CallError on failure.
    void Call(const char* member);
    // The same, reporting instead of throwing: DG_S_OK or the failure, whose
    // description goes to *error.
    dg_status TryCall(const char* member, std::string* error);

    // Connects the one sink of this owner (replacing an earlier one).
    void Advise(Sink sink);
    void Release();

private:
    explicit Object(dg_object* object) : object_(object) {}
    static void Trampoline(void* context, std::int32_t dispid, const char* eventName, const dg_variant* args,
                           std::uint32_t argc);

    dg_object* object_ = nullptr;
    std::unique_ptr<Sink> sink_;  // stable address handed to the component
    std::uint32_t cookie_ = 0;
};

}  // namespace dghost
