#pragma once
// The object core both boundaries wrap (the C ABI's dg_object handles and the
// COM objects of Dutygate.dll): one reference-counted instance of a public
// class, owned by the thread that created it, with its event sinks.
//
// Lifetime. The count is atomic, so AddRef/Release work anywhere. The class
// instance (and with it every dialog window) is only ever created, called and
// destroyed on the owning thread:
//  - last release on the owning thread: destroyed at once, or, while a call
//    or event of the object is running on the stack, as soon as it returns;
//  - last release on another thread: handed to the owning thread's inbox and
//    destroyed there at its next call into the boundary, or its end,
//    whichever comes first;
//  - owning thread ends while references remain: its class instances are
//    destroyed there; the remaining shells only answer status::kWrongThread and are
//    freed by their last release, wherever that happens.
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "component/core/class_table.h"
#include "component/core/status.h"

namespace dg::access {
class clsPassword;
}
namespace dg::shift {
class clsShiftClass;
}

namespace dg::component {

struct ThreadHome;

// One event argument, valid for the call only. Text is UTF-8.
struct EventValue {
    std::uint16_t vt;  // kVtI2, kVtBstr, kVtDate
    union {
        std::int16_t i2;
        double date;
        const char* text;
    } u;
};

// A connected receiver of an object's events; each boundary adapts its own
// kind of sink (a C callback, a COM IDispatch) to it.
class EventSink {
public:
    virtual ~EventSink() = default;
    // Runs on the object's thread, synchronously; anything it throws stays
    // with it. The arguments are a copy made for this sink alone.
    virtual void Deliver(const EventInfo& event, EventValue* args, std::uint32_t argc) = 0;
};

struct SinkEntry {
    std::uint32_t cookie;
    std::shared_ptr<EventSink> sink;
};

struct Object {
    explicit Object(const ClassInfo& info);
    ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    const ClassInfo& cls;
    std::atomic<std::uint32_t> refs{1};
    const std::thread::id owner;
    std::atomic<bool> orphaned{false};  // the owning thread has ended
    ThreadHome* home = nullptr;         // guarded by the registry lock

    // Owning thread only from here on.
    std::unique_ptr<dg::access::clsPassword> password;
    std::unique_ptr<dg::shift::clsShiftClass> shift;
    std::uint32_t eventConnection = 0;  // our handler on the class's event
    std::vector<SinkEntry> sinks;
    std::uint32_t lastCookie = 0;
    int busy = 0;         // calls and events of this object on the stack
    bool doomed = false;  // last reference gone while busy
};

// Creates an object of `cls` on the calling thread with one reference.
// Throws what the class's initialisation throws.
Object* NewObject(const ClassInfo& cls);

// This thread's implicit instance of `cls`, created on first use (borrowed).
Object* PredeclaredObject(const ClassInfo& cls);

// 0 when the calling thread may use `obj`, else DG_E_WRONG_THREAD (recorded).
Status CheckCaller(const Object* obj) noexcept;

std::uint32_t AddRef(Object* obj) noexcept;
std::uint32_t Release(Object* obj) noexcept;

// Runs the terminations handed to this thread by releases elsewhere. Cheap
// when there are none (one thread-local read and one atomic load).
void RunHandOffsSlow() noexcept;
extern thread_local ThreadHome* tlsHome;
bool InboxNonEmpty(const ThreadHome* home) noexcept;
inline void RunHandOffs() noexcept {
    if (tlsHome != nullptr && InboxNonEmpty(tlsHome)) RunHandOffsSlow();
}

// Objects alive in the process (shells included), for DllCanUnloadNow.
long LiveObjects() noexcept;

// Marks a call of `obj` in progress; a last release meanwhile destroys the
// object when the outermost scope ends.
class BusyScope {
public:
    explicit BusyScope(Object* obj) noexcept : obj_(obj) { ++obj_->busy; }
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Object* obj_;
};

// Connects a sink (owning thread; check the caller first) and returns its
// cookie, never 0. Throws std::bad_alloc.
std::uint32_t Advise(Object* obj, std::shared_ptr<EventSink> sink);
// False when no connection has that cookie.
bool Unadvise(Object* obj, std::uint32_t cookie) noexcept;

// Runs a member of the object's class by dispatch identifier, on the owning
// thread (check the caller first), as one busy call. Events reach the sinks
// before it returns. Returns the member's status with its description
// recorded; throws what the class throws (map it with
// FailFromCurrentException). Every member takes no argument and returns
// nothing.
Status CallMember(Object* obj, std::int32_t dispid);

// Delivers an event to every sink connected when it starts and still
// connected when its turn comes. Arguments are copied for each sink.
void FireEvent(Object* obj, const EventInfo& event, const EventValue* args, std::uint32_t argc) noexcept;

}  // namespace dg::component
