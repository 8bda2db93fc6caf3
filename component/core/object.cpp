// The object core's lifetime: reference counts, the thread that owns each
// object, terminations handed to that thread, and the end of a thread.
#include "component/core/object.h"

#include <algorithm>
#include <mutex>

#include "access/clsPassword.h"
#include "component/core/object_internal.h"
#include "component/core/status.h"
#include "shift/clsShiftClass.h"

namespace dg::component {
namespace {

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

}  // namespace

thread_local ThreadHome* tlsHome = nullptr;

ThreadHome* Home() {
    if (tlsHome == nullptr && !homeEnded) {
        homeKeeper.armed = true;  // registers the keeper's destructor for this thread
        tlsHome = new ThreadHome;
    }
    return tlsHome;
}

void AddOwned(ThreadHome* home, Object* obj) {
    std::lock_guard lock(registryLock);
    home->owned.push_back(obj);
    obj->home = home;
}

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

bool InboxNonEmpty(const ThreadHome* home) noexcept { return home->inboxSize.load(std::memory_order_acquire) != 0; }

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

Object* PredeclaredObject(const ClassInfo& cls) {
    ThreadHome* home = Home();
    if (home == nullptr) throw std::runtime_error("调用的线程正在结束，不能在它上面创建对象");
    Object*& slot = home->predeclared[static_cast<int>(cls.kind)];
    if (slot == nullptr) slot = NewObject(cls);
    return slot;
}

Status CheckCaller(const Object* obj) noexcept {
    if (obj->orphaned.load(std::memory_order_acquire))
        return Fail(status::kWrongThread, "创建此对象的线程已经结束，对象不能再使用");
    if (obj->owner != std::this_thread::get_id()) return Fail(status::kWrongThread);
    return status::kOk;
}

std::uint32_t AddRef(Object* obj) noexcept { return obj->refs.fetch_add(1, std::memory_order_relaxed) + 1; }

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

Object::Object(const ClassInfo& info) : cls(info), owner(std::this_thread::get_id()) { liveObjects.fetch_add(1); }

Object::~Object() { liveObjects.fetch_sub(1); }

}  // namespace dg::component
