#pragma once
// What the object core's own files share: the per-thread home of the
// objects and the steps that cross between lifetime, classes and events.
#include <atomic>
#include <vector>

#include "component/core/object.h"

namespace dg::component {

// Per-thread state: the objects this thread owns, the terminations handed to
// it, and its implicit (predeclared) instances.
struct ThreadHome {
    std::vector<Object*> owned;  // guarded by the registry lock (object.cpp)
    std::vector<Object*> inbox;  // guarded by the registry lock
    std::atomic<std::size_t> inboxSize{0};
    Object* predeclared[kClassCount] = {};
};

// This thread's home, made on first use; nullptr once the thread is ending.
ThreadHome* Home();
// Records `obj` as owned by `home` (throws std::bad_alloc).
void AddOwned(ThreadHome* home, Object* obj);
// Queues `obj` for termination on its owning thread; frees the shell at once
// when that thread has ended (its instance is gone already).
void HandOff(Object* obj) noexcept;

// The class instance behind an object (object_classes.cpp).
void DisconnectClassEvent(Object* obj) noexcept;
// Terminates the class instance: its dialogs unload and go. On the owning
// thread only. A failure while terminating is skipped.
void DestroyInstance(Object* obj) noexcept;

}  // namespace dg::component
