#include "component/core/class_table.h"

#include <algorithm>
#include <iterator>

#include "base/ascii.h"
#include "component/core/guid.h"

namespace dg::component {
namespace {

constexpr MemberInfo kPasswordMembers[] = {
    {"ShowDialog", kDispidShowDialog},
    {"ShowRevise", kDispidShowRevise},
    {"ShowLanding", kDispidShowLanding},
};
constexpr MemberInfo kShiftMembers[] = {
    {"ShowSetClass", kDispidShowSetClass},
    {"ShiftClass", kDispidShiftClass},
};
constexpr ParamInfo kBackAdminParams[] = {
    {"Data", kVtI2},
    {"iCommand", kVtI2},
};
constexpr ParamInfo kSetClassParams[] = {
    {"iBanzhi", kVtI2},
    {"iBanCii", kVtBstr},
    {"strBanBie", kVtBstr},
    {"dDateNow", kVtDate},
};

static_assert(std::max(std::size(kPasswordMembers), std::size(kShiftMembers)) == kMaxMembers,
              "kMaxMembers is the widest class's member count");
static_assert(std::max(std::size(kBackAdminParams), std::size(kSetClassParams)) == kMaxEventArgs,
              "kMaxEventArgs is the longest event's argument count");

constexpr ClassInfo kClasses[kClassCount] = {
    {ClassKind::Password,
     "clsPassword",
     "Dutygate.clsPassword",
     &kClsidPassword,
     "_clsPassword",
     &kIidPassword,
     "__clsPassword",
     &kDiidPassword,
     kPasswordMembers,
     {"BackAdmin", kDispidEvent, kBackAdminParams}},
    {ClassKind::ShiftClass,
     "clsShiftClass",
     "Dutygate.clsShiftClass",
     &kClsidShiftClass,
     "_clsShiftClass",
     &kIidShiftClass,
     "__clsShiftClass",
     &kDiidShiftClass,
     kShiftMembers,
     {"eventSetClass", kDispidEvent, kSetClassParams}},
};

// ClassOf() takes a class at its kind's position.
constexpr bool KindsInPlace() {
    for (int i = 0; i < kClassCount; ++i)
        if (static_cast<int>(kClasses[i].kind) != i) return false;
    return true;
}
static_assert(KindsInPlace(), "each class stands at the position of its ClassKind");

}  // namespace

std::span<const ClassInfo> Classes() noexcept { return kClasses; }

const ClassInfo& ClassOf(ClassKind kind) noexcept { return kClasses[static_cast<int>(kind)]; }

const ClassInfo* FindClassByProgId(std::string_view progid) noexcept {
    for (const ClassInfo& c : kClasses) {
        if (EqualsAsciiNoCase(progid, c.progid)) return &c;
    }
    return nullptr;
}

const ClassInfo* FindClassByName(std::string_view name) noexcept {
    for (const ClassInfo& c : kClasses) {
        if (EqualsAsciiNoCase(name, c.name)) return &c;
    }
    return nullptr;
}

const ClassInfo* FindClassByClsid(const Guid& clsid) noexcept {
    for (const ClassInfo& c : kClasses) {
        if (SameGuid(clsid, *c.clsid)) return &c;
    }
    return nullptr;
}

const MemberInfo* FindMemberByName(const ClassInfo& cls, std::string_view name) noexcept {
    for (const MemberInfo& m : cls.members) {
        if (EqualsAsciiNoCase(name, m.name)) return &m;
    }
    return nullptr;
}

const MemberInfo* FindMemberByDispid(const ClassInfo& cls, std::int32_t dispid) noexcept {
    for (const MemberInfo& m : cls.members) {
        if (m.dispid == dispid) return &m;
    }
    return nullptr;
}

const char* VtName(std::uint16_t vt) noexcept {
    switch (vt) {
        case kVtEmpty: return "EMPTY";
        case kVtI2: return "I2";
        case kVtI4: return "I4";
        case kVtDate: return "DATE";
        case kVtBstr: return "BSTR";
        case kVtBool: return "BOOL";
        default: return "?";
    }
}

}  // namespace dg::component
