#include "component/class_table.h"

#include "component/guid.h"

namespace dg::component {
namespace {

constexpr MemberInfo kPasswordMembers[] = {
    {"ShowDialog", DG_DISPID_SHOWDIALOG},
    {"ShowRevise", DG_DISPID_SHOWREVISE},
    {"ShowLanding", DG_DISPID_SHOWLANDING},
};
constexpr MemberInfo kShiftMembers[] = {
    {"ShowSetClass", DG_DISPID_SHOWSETCLASS},
    {"ShiftClass", DG_DISPID_SHIFTCLASS},
};
constexpr ParamInfo kBackAdminParams[] = {
    {"Data", DG_VT_I2},
    {"iCommand", DG_VT_I2},
};
constexpr ParamInfo kSetClassParams[] = {
    {"iBanzhi", DG_VT_I2},
    {"iBanCii", DG_VT_BSTR},
    {"strBanBie", DG_VT_BSTR},
    {"dDateNow", DG_VT_DATE},
};

const ClassInfo kClasses[kClassCount] = {
    {ClassKind::Password, "clsPassword", DG_PROGID_CLSPASSWORD, &DG_CLSID_clsPassword, "_clsPassword",
     &DG_IID__clsPassword, "__clsPassword", &DG_DIID___clsPassword, kPasswordMembers,
     {"BackAdmin", DG_DISPID_EVENT, kBackAdminParams}},
    {ClassKind::ShiftClass, "clsShiftClass", DG_PROGID_CLSSHIFTCLASS, &DG_CLSID_clsShiftClass, "_clsShiftClass",
     &DG_IID__clsShiftClass, "__clsShiftClass", &DG_DIID___clsShiftClass, kShiftMembers,
     {"eventSetClass", DG_DISPID_EVENT, kSetClassParams}},
};

char Lower(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

std::span<const ClassInfo> Classes() noexcept { return kClasses; }

const ClassInfo& ClassOf(ClassKind kind) noexcept { return kClasses[static_cast<int>(kind)]; }

const ClassInfo* FindClassByProgId(std::string_view progid) noexcept {
    for (const ClassInfo& c : kClasses) {
        if (EqualsIgnoringCase(progid, c.progid)) return &c;
    }
    return nullptr;
}

const ClassInfo* FindClassByName(std::string_view name) noexcept {
    for (const ClassInfo& c : kClasses) {
        if (EqualsIgnoringCase(name, c.name)) return &c;
    }
    return nullptr;
}

const ClassInfo* FindClassByClsid(const dg_guid& clsid) noexcept {
    for (const ClassInfo& c : kClasses) {
        if (SameGuid(clsid, *c.clsid)) return &c;
    }
    return nullptr;
}

const MemberInfo* FindMemberByName(const ClassInfo& cls, std::string_view name) noexcept {
    for (const MemberInfo& m : cls.members) {
        if (EqualsIgnoringCase(name, m.name)) return &m;
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
        case DG_VT_EMPTY: return "EMPTY";
        case DG_VT_I2: return "I2";
        case DG_VT_I4: return "I4";
        case DG_VT_DATE: return "DATE";
        case DG_VT_BSTR: return "BSTR";
        case DG_VT_BOOL: return "BOOL";
        default: return "?";
    }
}

}  // namespace dg::component
