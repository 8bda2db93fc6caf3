#pragma once
// A synchronous event with any number of connected handlers. Handlers run on
// the raising thread, in connection order, inside Raise(). A handler may
// connect or disconnect handlers (itself included) while the event is being
// raised: Raise() works on a snapshot and skips handlers disconnected meanwhile.
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace dg::ui {

template <typename... Args>
class Event {
public:
    using Handler = std::function<void(Args...)>;

    std::uint32_t Connect(Handler handler) {
        const std::uint32_t id = ++lastId_;
        slots_.push_back(std::make_shared<Slot>(Slot{id, std::move(handler), true}));
        return id;
    }

    bool Disconnect(std::uint32_t id) {
        for (auto it = slots_.begin(); it != slots_.end(); ++it) {
            if ((*it)->id == id) {
                (*it)->live = false;
                slots_.erase(it);
                return true;
            }
        }
        return false;
    }

    std::size_t Count() const { return slots_.size(); }

    void Raise(Args... args) const {
        if (slots_.empty()) return;
        const auto snapshot = slots_;
        for (const auto& slot : snapshot) {
            if (slot->live) slot->handler(args...);
        }
    }

private:
    struct Slot {
        std::uint32_t id;
        Handler handler;
        bool live;
    };
    std::vector<std::shared_ptr<Slot>> slots_;
    std::uint32_t lastId_ = 0;
};

}  // namespace dg::ui
