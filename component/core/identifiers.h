#pragma once
// The fixed identifiers of the public classes, shared by both boundaries
// (the C ABI of libdutygate.so and the COM server Dutygate.dll): GUIDs,
// dispatch identifiers and automation type codes; the status values are
// base/status.h's. Plain values only, so that a file can include it beside
// <windows.h> or beside the C ABI header. include/dutygate/dutygate.h repeats
// the same values for its hosts; the component's tests check that the two
// agree.
#include <cstdint>

#include "base/status.h"

namespace dg::component {

// Same layout as the platform's GUID and the C ABI's dg_guid.
struct Guid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};

inline constexpr Guid kLibId{0x93AE70B7, 0x8177, 0x448B, {0x96, 0x1F, 0xE4, 0x87, 0x53, 0xC1, 0xC2, 0x82}};
inline constexpr Guid kClsidPassword{0x4C8BE658, 0x78E0, 0x400E, {0xB0, 0xC7, 0xBC, 0x6C, 0x35, 0x91, 0x9C, 0x1A}};
inline constexpr Guid kClsidShiftClass{0x4B320797, 0xD4D2, 0x4613, {0xB1, 0xD0, 0x78, 0x8E, 0x0D, 0xCC, 0xC0, 0x26}};
inline constexpr Guid kIidPassword{0x330DF2A0, 0x7921, 0x45CB, {0xB8, 0xD0, 0xBE, 0x8A, 0x07, 0x06, 0xDB, 0x98}};
inline constexpr Guid kIidShiftClass{0x337FA4D7, 0xEAE6, 0x4A37, {0xB0, 0x0F, 0x44, 0x2E, 0xAF, 0xFD, 0x45, 0xBE}};
inline constexpr Guid kDiidPassword{0xFDF2E443, 0x278D, 0x40BE, {0x8A, 0x92, 0xC7, 0x75, 0x51, 0xF4, 0x80, 0x38}};
inline constexpr Guid kDiidShiftClass{0x69D401ED, 0xDAAE, 0x4271, {0x9F, 0x83, 0xFC, 0xBF, 0xF8, 0xB0, 0xF9, 0x50}};
// Custom data on each class in the type library: its ProgID.
inline constexpr Guid kProgIdCustomData{0x69A24E43, 0x13FC, 0x4FC8, {0xA9, 0xC3, 0x46, 0x84, 0x01, 0x0C, 0x3D, 0xCE}};

inline constexpr std::uint16_t kLibVersionMajor = 3;
inline constexpr std::uint16_t kLibVersionMinor = 0;
// The same version as the registry and the interface description write it: "3.0".
static_assert(kLibVersionMajor < 10 && kLibVersionMinor < 10, "one digit each in kLibVersionText");
inline constexpr char kLibVersionText[] = {static_cast<char>('0' + kLibVersionMajor), '.',
                                           static_cast<char>('0' + kLibVersionMinor), '\0'};
inline constexpr std::uint32_t kLibLcid = 0x0409;

inline constexpr std::int32_t kDispidShowDialog = 0x60030003;
inline constexpr std::int32_t kDispidShowRevise = 0x60030004;
inline constexpr std::int32_t kDispidShowLanding = 0x60030005;
inline constexpr std::int32_t kDispidShowSetClass = 0x6003000D;
inline constexpr std::int32_t kDispidShiftClass = 0x60030011;
inline constexpr std::int32_t kDispidEvent = 1;

// Automation type codes (VARTYPE).
inline constexpr std::uint16_t kVtEmpty = 0;
inline constexpr std::uint16_t kVtI2 = 2;
inline constexpr std::uint16_t kVtI4 = 3;
inline constexpr std::uint16_t kVtDate = 7;
inline constexpr std::uint16_t kVtBstr = 8;
inline constexpr std::uint16_t kVtBool = 11;

}  // namespace dg::component
