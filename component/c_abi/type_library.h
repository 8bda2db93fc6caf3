#pragma once
// The interface description (the JSON form of Dutygate.idl) and the
// library's version record.

namespace dg::component {

// "1.00.0015": major, two-digit minor, four-digit revision.
const char* VersionText() noexcept;
// Built once; "" if it could not be built.
const char* TypeLibraryJson() noexcept;
const char* VersionRecordJson() noexcept;

}  // namespace dg::component
