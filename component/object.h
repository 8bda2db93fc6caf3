#pragma once
// dg_object: one reference-counted instance of a public class, owned by the
// thread that created it, with its event sinks.
//
// Lifetime. The count is atomic, so dg_add_ref/dg_release work anywhere. The
// class instance (and with it every dialog widget) is only ever created,
// called and destroyed on the owning thread:
//  - last release on the owning thread: destroyed at once, or, while a call
//    or event of the object is running on the stack, as soon as it returns;
//  - last release on another thread: handed to the owning thread's inbox and
//    destroyed there at its next ABI call, its next dg_process_events, or its
//    end, whichever comes first;
//  - owning thread ends while references remain: its class instances are
//    destroyed there; the remaining shells only answer DG_E_WRONG_THREAD and
//    are freed by their last release, wherever that happens.
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "component/class_table.h"

namespace dg::access {
class clsPassword;
}
namespace dg::shift {
class clsShiftClass;
}

namespace dg::component {

struct ThreadHome;

struct SinkEntry {
    std::uint32_t cookie;
    dg_event_sink sink;
    void* context;
};

}  // namespace dg::component

struct dg_object {
    explicit dg_object(const dg::component::ClassInfo& info);
    ~dg_object();
    dg_object(const dg_object&) = delete;
    dg_object& operator=(const dg_object&) = delete;

    const dg::component::ClassInfo& cls;
    std::atomic<std::uint32_t> refs{1};
    const std::thread::id owner;
    std::atomic<bool> orphaned{false};        // the owning thread has ended
    dg::component::ThreadHome* home = nullptr;  // guarded by the registry lock

    // Owning thread only from here on.
    std::unique_ptr<dg::access::clsPassword> password;
    std::unique_ptr<dg::shift::clsShiftClass> shift;
    std::uint32_t eventConnection = 0;  // our handler on the class's event
    std::vector<dg::component::SinkEntry> sinks;
    std::uint32_t lastCookie = 0;
    int busy = 0;         // calls and events of this object on the stack
    bool doomed = false;  // last reference gone while busy
};

namespace dg::component {

// Creates an object of `cls` on the calling thread with one reference.
// Throws what the class's initialisation throws.
dg_object* NewObject(const ClassInfo& cls);

// This thread's implicit instance of `cls`, created on first use (borrowed).
dg_object* PredeclaredObject(const ClassInfo& cls);

// 0 when the calling thread may use `obj`, else DG_E_WRONG_THREAD (recorded).
dg_status CheckCaller(const dg_object* obj) noexcept;

std::uint32_t AddRef(dg_object* obj) noexcept;
std::uint32_t Release(dg_object* obj) noexcept;

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
    explicit BusyScope(dg_object* obj) noexcept : obj_(obj) { ++obj_->busy; }
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    dg_object* obj_;
};

// Delivers an event to every sink connected when it starts and still
// connected when its turn comes. Arguments are copied for each sink.
void FireEvent(dg_object* obj, const EventInfo& event, const dg_variant* args, std::uint32_t argc) noexcept;

}  // namespace dg::component
