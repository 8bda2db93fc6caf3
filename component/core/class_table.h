#pragma once
// The boundary's class table: the two public classes with their ProgIDs,
// CLSIDs, interfaces, members with dispatch identifiers, and events. The
// dispatch path, the factories, the registration and the interface
// description all read it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "component/core/identifiers.h"

namespace dg::component {

enum class ClassKind : int { Password = 0, ShiftClass = 1 };
inline constexpr int kClassCount = 2;
// The most members a class has and the most arguments an event carries. The
// COM object's vtable slots and its event argument array are sized by these;
// class_table.cpp checks them against its member and argument lists.
inline constexpr std::size_t kMaxMembers = 3;
inline constexpr std::size_t kMaxEventArgs = 4;

struct MemberInfo {
    const char* name;
    std::int32_t dispid;
};

struct ParamInfo {
    const char* name;
    std::uint16_t vt;  // kVtI2, kVtBstr, kVtDate
};

struct EventInfo {
    const char* name;
    std::int32_t dispid;
    std::span<const ParamInfo> params;
};

struct ClassInfo {
    ClassKind kind;
    const char* name;    // "clsPassword"
    const char* progid;  // "Dutygate.clsPassword"
    const Guid* clsid;
    const char* defaultInterface;  // "_clsPassword"
    const Guid* iid;
    const char* sourceInterface;  // "__clsPassword"
    const Guid* diid;
    std::span<const MemberInfo> members;
    EventInfo event;
};

std::span<const ClassInfo> Classes() noexcept;
const ClassInfo& ClassOf(ClassKind kind) noexcept;

// Lookups, all ignoring ASCII case where they take text.
const ClassInfo* FindClassByProgId(std::string_view progid) noexcept;
const ClassInfo* FindClassByName(std::string_view name) noexcept;
const ClassInfo* FindClassByClsid(const Guid& clsid) noexcept;
const MemberInfo* FindMemberByName(const ClassInfo& cls, std::string_view name) noexcept;
const MemberInfo* FindMemberByDispid(const ClassInfo& cls, std::int32_t dispid) noexcept;

// Automation type names used by the interface description ("I2", "BSTR", "DATE").
const char* VtName(std::uint16_t vt) noexcept;

}  // namespace dg::component
