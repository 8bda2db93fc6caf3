// The two public classes behind the object core: creating their instances
// and wiring their events to the object's sinks, the dispatch of members, and
// the clock that ShiftClass reads (replaceable by tests).
#include <cmath>
#include <string>

#include "access/clsPassword.h"
#include "component/core/object_internal.h"
#include "component/core/status.h"
#include "component/core/testing_hooks.h"
#include "shift/clsShiftClass.h"

namespace dg::component {
namespace {

std::atomic<ClockSource> clockSource{&shift::ReadLocalClock};

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
    EventValue args[kMaxEventArgs] = {};
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

void DisconnectClassEvent(Object* obj) noexcept {
    if (obj->eventConnection == 0) return;
    if (obj->password) obj->password->BackAdmin.Disconnect(obj->eventConnection);
    if (obj->shift) obj->shift->eventSetClass.Disconnect(obj->eventConnection);
    obj->eventConnection = 0;
}

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

Object* NewObject(const ClassInfo& cls) {
    ThreadHome* home = Home();
    if (home == nullptr) throw std::runtime_error("调用的线程正在结束，不能在它上面创建对象");
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
    AddOwned(home, raw);
    return obj.release();
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
        default: return Fail(status::kMemberNotFound);
    }
    return status::kOk;
}

}  // namespace dg::component
