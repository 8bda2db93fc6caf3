#include "component/object.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>

#include "access/clsPassword.h"
#include "component/status.h"
#include "component/testing_hooks.h"
#include "shift/clsShiftClass.h"
#include "shift/errors.h"

namespace dg::component {

// Per-thread state: the objects this thread owns, the terminations handed to
// it, and its implicit (predeclared) instances.
struct ThreadHome {
    std::vector<Object*> owned;  // guarded by registryLock
    std::vector<Object*> inbox;  // guarded by registryLock
    std::atomic<std::size_t> inboxSize{0};
    Object* predeclared[kClassCount] = {};
};

namespace {

constexpr std::uint32_t kMaxEventArgs = 4;

std::atomic<ClockSource> clockSource{&shift::ReadLocalClock};

// Guards every ThreadHome's owned/inbox lists and every object's `home`.
std::mutex registryLock;
std::atomic<long> liveObjects{0};

void EndThread(ThreadHome* home) noexcept;

// Ends the thread's home when the thread ends.
struct HomeKeeper {
    bool armed = false;
    ~HomeKeeper() {
        if (tlsHome != nullptr) EndThread(tlsHome);
    }
};
thread_local HomeKeeper homeKeeper;
thread_local bool homeEnded = false;

ThreadHome* Home() {
    if (tlsHome == nullptr && !homeEnded) {
        homeKeeper.armed = true;  // registers the keeper's destructor for this thread
        tlsHome = new ThreadHome;
    }
    return tlsHome;
}

void DisconnectClassEvent(Object* obj) noexcept {
    if (obj->eventConnection == 0) return;
    if (obj->password) obj->password->BackAdmin.Disconnect(obj->eventConnection);
    if (obj->shift) obj->shift->eventSetClass.Disconnect(obj->eventConnection);
    obj->eventConnection = 0;
}

// Terminates the class instance: its dialogs unload and go. On the owning
// thread only. A failure while terminating is skipped.
void DestroyInstance(Object* obj) noexcept {
    DisconnectClassEvent(obj);
    try {
        obj->password.reset();
    } catch (...) {
    }
    try {
        obj->shift.reset();
    } catch (...) {
    }
}

// Last reference gone, owning thread, nothing of the object on the stack.
void Destroy(Object* obj) noexcept {
    {
        std::lock_guard lock(registryLock);
        if (ThreadHome* home = obj->home) {
            auto& owned = home->owned;
            owned.erase(std::remove(owned.begin(), owned.end(), obj), owned.end());
            // An implicit instance released once too often by its host:
            // forget it, so that the thread's end does not release it again.
            for (Object*& p : home->predeclared) {
                if (p == obj) p = nullptr;
            }
            obj->home = nullptr;
        }
    }
    DestroyInstance(obj);
    delete obj;
}

// Last reference gone on the owning thread.
void Terminate(Object* obj) noexcept {
    if (obj->busy > 0) {
        obj->doomed = true;  // destroyed when the outermost call or event returns
        return;
    }
    Destroy(obj);
}

// Queues `obj` for termination on its owning thread; frees the shell at once
// when that thread has ended (its instance is gone already).
void HandOff(Object* obj) noexcept {
    {
        std::lock_guard lock(registryLock);
        if (ThreadHome* home = obj->home) {
            try {
                home->inbox.push_back(obj);
                home->inboxSize.store(home->inbox.size(), std::memory_order_release);
                return;
            } catch (...) {
                return;  // no memory: the object stays until its thread ends
            }
        }
    }
    delete obj;
}

void EndThread(ThreadHome* home) noexcept {
    // The implicit instances hold one reference each until now.
    for (Object*& p : home->predeclared) {
        if (Object* obj = p) {
            p = nullptr;
            Release(obj);
        }
    }
    std::vector<Object*> handed;
    std::vector<std::unique_ptr<access::clsPassword>> passwords;
    std::vector<std::unique_ptr<shift::clsShiftClass>> shifts;
    {
        std::lock_guard lock(registryLock);
        handed.swap(home->inbox);
        home->inboxSize.store(0);
        for (Object* obj : home->owned) {
            obj->home = nullptr;
            if (std::find(handed.begin(), handed.end(), obj) != handed.end()) continue;
            // Still referenced elsewhere: take the instance out now, so that
            // its last release, wherever it runs, frees only the shell.
            DisconnectClassEvent(obj);
            try {
                if (obj->password) passwords.push_back(std::move(obj->password));
                if (obj->shift) shifts.push_back(std::move(obj->shift));
            } catch (...) {
                // No memory for the list: destroy the instance right here.
                obj->password.reset();
                obj->shift.reset();
            }
            obj->orphaned.store(true);
        }
        home->owned.clear();
    }
    for (Object* obj : handed) {
        DestroyInstance(obj);
        delete obj;
    }
    try {
        passwords.clear();
        shifts.clear();
    } catch (...) {
    }
    tlsHome = nullptr;
    homeEnded = true;
    delete home;
}

void FireBackAdmin(Object* obj, std::int16_t data, std::int16_t command) {
    EventValue args[2] = {};
    args[0].vt = kVtI2;
    args[0].u.i2 = data;
    args[1].vt = kVtI2;
    args[1].u.i2 = command;
    FireEvent(obj, obj->cls.event, args, 2);
}

void FireSetClass(Object* obj, std::int16_t banzhi, const std::string& banCi, const std::string& banBie,
                  double dateNow) {
    // The event's own copies: nothing a sink does reaches the settings.
    const std::string banCiText = banCi;
    const std::string banBieText = banBie;
    EventValue args[4] = {};
    args[0].vt = kVtI2;
    args[0].u.i2 = banzhi;
    args[1].vt = kVtBstr;
    args[1].u.text = banCiText.c_str();
    args[2].vt = kVtBstr;
    args[2].u.text = banBieText.c_str();
    args[3].vt = kVtDate;
    args[3].u.date = std::floor(dateNow);  // the duty date, no time of day
    FireEvent(obj, obj->cls.event, args, 4);
}

}  // namespace

thread_local ThreadHome* tlsHome = nullptr;

bool InboxNonEmpty(const ThreadHome* home) noexcept {
    return home->inboxSize.load(std::memory_order_acquire) != 0;
}

void RunHandOffsSlow() noexcept {
    ThreadHome* home = tlsHome;
    if (home == nullptr) return;
    std::vector<Object*> handed;
    {
        std::lock_guard lock(registryLock);
        handed.swap(home->inbox);
        home->inboxSize.store(0, std::memory_order_release);
    }
    for (Object* obj : handed) Terminate(obj);
}

long LiveObjects() noexcept { return liveObjects.load(); }

Object* NewObject(const ClassInfo& cls) {
    ThreadHome* home = Home();
    if (home == nullptr) throw std::runtime_error("the calling thread is ending; no object can be created on it");
    auto obj = std::make_unique<Object>(cls);
    Object* raw = obj.get();
    switch (cls.kind) {
        case ClassKind::Password:
            obj->password = std::make_unique<access::clsPassword>();
            obj->eventConnection = obj->password->BackAdmin.Connect(
                [raw](std::int16_t data, std::int16_t command) { FireBackAdmin(raw, data, command); });
            break;
        case ClassKind::ShiftClass:
            obj->shift = std::make_unique<shift::clsShiftClass>();
            obj->eventConnection = obj->shift->eventSetClass.Connect(
                [raw](std::int16_t banzhi, const std::string& banCi, const std::string& banBie, double dateNow) {
                    FireSetClass(raw, banzhi, banCi, banBie, dateNow);
                });
            break;
    }
    {
        std::lock_guard lock(registryLock);
        home->owned.push_back(raw);
        raw->home = home;
    }
    return obj.release();
}

Object* PredeclaredObject(const ClassInfo& cls) {
    ThreadHome* home = Home();
    if (home == nullptr) throw std::runtime_error("the calling thread is ending; no object can be created on it");
    Object*& slot = home->predeclared[static_cast<int>(cls.kind)];
    if (slot == nullptr) slot = NewObject(cls);
    return slot;
}

Status CheckCaller(const Object* obj) noexcept {
    if (obj->orphaned.load(std::memory_order_acquire))
        return Fail(kWrongThread, "The thread that created this object has ended.");
    if (obj->owner != std::this_thread::get_id()) return Fail(kWrongThread);
    return kOk;
}

std::uint32_t Advise(Object* obj, std::shared_ptr<EventSink> sink) {
    std::uint32_t next = obj->lastCookie + 1;
    if (next == 0) next = 1;  // 0 never names a connection
    obj->sinks.push_back(SinkEntry{next, std::move(sink)});
    obj->lastCookie = next;
    return next;
}

bool Unadvise(Object* obj, std::uint32_t cookie) noexcept {
    for (auto it = obj->sinks.begin(); it != obj->sinks.end(); ++it) {
        if (it->cookie == cookie) {
            // Moved out first: a sink's destructor may call back into us.
            std::shared_ptr<EventSink> gone = std::move(it->sink);
            obj->sinks.erase(it);
            return true;
        }
    }
    return false;
}

void SetClockForTesting(ClockSource source) noexcept {
    clockSource.store(source != nullptr ? source : &shift::ReadLocalClock);
}

Status CallMember(Object* obj, std::int32_t dispid) {
    BusyScope busy(obj);
    switch (dispid) {
        case kDispidShowDialog: obj->password->ShowDialog(); break;
        case kDispidShowRevise: obj->password->ShowRevise(); break;
        case kDispidShowLanding: obj->password->ShowLanding(); break;
        case kDispidShowSetClass: obj->shift->ShowSetClass(); break;
        case kDispidShiftClass: {
            const std::int32_t status = obj->shift->ShiftClassAt(clockSource.load(std::memory_order_relaxed)());
            if (status != 0) return Fail(status);
            break;
        }
        default: return Fail(kMemberNotFound);
    }
    return kOk;
}

std::uint32_t AddRef(Object* obj) noexcept {
    return obj->refs.fetch_add(1, std::memory_order_relaxed) + 1;
}

std::uint32_t Release(Object* obj) noexcept {
    std::uint32_t count = obj->refs.load(std::memory_order_relaxed);
    do {
        if (count == 0) return 0;  // released once too often: ignore rather than free twice
    } while (!obj->refs.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel));
    if (count > 1) return count - 1;
    if (obj->owner == std::this_thread::get_id() && !obj->orphaned.load(std::memory_order_acquire))
        Terminate(obj);
    else
        HandOff(obj);
    return 0;
}

BusyScope::~BusyScope() {
    if (--obj_->busy == 0 && obj_->doomed) Destroy(obj_);
}

void FireEvent(Object* obj, const EventInfo& event, const EventValue* args, std::uint32_t argc) noexcept {
    if (obj->sinks.empty()) return;
    ++obj->busy;
    try {
        const std::vector<SinkEntry> snapshot = obj->sinks;
        for (const SinkEntry& entry : snapshot) {
            const bool connected = std::any_of(obj->sinks.begin(), obj->sinks.end(),
                                               [&](const SinkEntry& s) { return s.cookie == entry.cookie; });
            if (!connected) continue;
            const std::uint32_t n = std::min(argc, kMaxEventArgs);
            EventValue copy[kMaxEventArgs];
            std::copy(args, args + n, copy);
            try {
                entry.sink->Deliver(event, copy, n);
            } catch (...) {
                // A sink's failure stays with the sink.
            }
        }
    } catch (...) {
    }
    // Raised from inside the class instance: a release by a sink cannot
    // destroy it here; the owning thread's next call does.
    if (--obj->busy == 0 && obj->doomed) {
        obj->doomed = false;
        HandOff(obj);
    }
}

Object::Object(const ClassInfo& info) : cls(info), owner(std::this_thread::get_id()) { liveObjects.fetch_add(1); }

Object::~Object() { liveObjects.fetch_sub(1); }

}  // namespace dg::component
