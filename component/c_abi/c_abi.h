#pragma once
// The C ABI's view of the shared identifiers: dutygate.h repeats them for its
// hosts, and the two must never drift apart.
#include "component/core/identifiers.h"
#include "component/core/object.h"
#include "dutygate/dutygate.h"

namespace dg::component {

static_assert(sizeof(dg_guid) == sizeof(Guid));
static_assert(DG_DISPID_SHOWDIALOG == kDispidShowDialog && DG_DISPID_SHOWREVISE == kDispidShowRevise &&
              DG_DISPID_SHOWLANDING == kDispidShowLanding && DG_DISPID_SHOWSETCLASS == kDispidShowSetClass &&
              DG_DISPID_SHIFTCLASS == kDispidShiftClass && DG_DISPID_EVENT == kDispidEvent);
static_assert(DG_VT_I2 == kVtI2 && DG_VT_BSTR == kVtBstr && DG_VT_DATE == kVtDate && DG_VT_I4 == kVtI4);
static_assert(DG_E_WRONG_THREAD == status::kWrongThread && DG_E_BAD_PARAM_COUNT == status::kBadParamCount &&
              DG_E_MEMBER_NOT_FOUND == status::kMemberNotFound && DG_E_UNKNOWN_NAME == status::kUnknownName &&
              DG_E_CLASS_NOT_AVAILABLE == status::kClassNotAvailable && DG_E_NO_CONNECTION == status::kNoConnection);

// dg_object is the C ABI's opaque handle of a core Object.
inline Object* Core(dg_object* handle) noexcept { return reinterpret_cast<Object*>(handle); }
inline dg_object* Handle(Object* obj) noexcept { return reinterpret_cast<dg_object*>(obj); }

inline Guid ToGuid(const dg_guid& g) noexcept {
    Guid out{g.data1, g.data2, g.data3, {}};
    for (int i = 0; i < 8; ++i) out.data4[i] = g.data4[i];
    return out;
}

inline dg_guid ToCGuid(const Guid& g) noexcept {
    dg_guid out{g.data1, g.data2, g.data3, {}};
    for (int i = 0; i < 8; ++i) out.data4[i] = g.data4[i];
    return out;
}

}  // namespace dg::component
