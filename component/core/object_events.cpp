// The object's event sinks: connecting, disconnecting, and delivering one
// event to every sink in turn.
#include <algorithm>

#include "component/core/object_internal.h"

namespace dg::component {

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

void FireEvent(Object* obj, const EventInfo& event, const EventValue* args, std::uint32_t argc) noexcept {
    if (obj->sinks.empty()) return;
    ++obj->busy;
    try {
        const std::vector<SinkEntry> snapshot = obj->sinks;
        for (const SinkEntry& entry : snapshot) {
            const bool connected = std::any_of(obj->sinks.begin(), obj->sinks.end(),
                                               [&](const SinkEntry& s) { return s.cookie == entry.cookie; });
            if (!connected) continue;
            const std::uint32_t n = std::min<std::uint32_t>(argc, kMaxEventArgs);
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

}  // namespace dg::component
