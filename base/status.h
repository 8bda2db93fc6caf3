#pragma once
// Automation status values (HRESULT) and the exception that carries one,
// shared by every layer: header-only, no dependencies. The public C header
// include/dutygate/dutygate.h repeats the values for hosts; the component's
// tests check that the two agree.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace dg::status {

using Status = std::int32_t;
inline constexpr Status kOk = 0;
inline constexpr Status kFalse = 1;
inline constexpr Status kUnexpected = static_cast<Status>(0x8000FFFF);
inline constexpr Status kNoInterface = static_cast<Status>(0x80004002);
inline constexpr Status kPointer = static_cast<Status>(0x80004003);
inline constexpr Status kFail = static_cast<Status>(0x80004005);
inline constexpr Status kOutOfMemory = static_cast<Status>(0x8007000E);
inline constexpr Status kInvalidArg = static_cast<Status>(0x80070057);
inline constexpr Status kUnknownName = static_cast<Status>(0x80020006);
inline constexpr Status kMemberNotFound = static_cast<Status>(0x80020003);
inline constexpr Status kBadParamCount = static_cast<Status>(0x8002000E);
inline constexpr Status kInvalidClassString = static_cast<Status>(0x800401F3);
inline constexpr Status kClassNotRegistered = static_cast<Status>(0x80040154);
inline constexpr Status kClassNotAvailable = static_cast<Status>(0x80040111);
inline constexpr Status kNoConnection = static_cast<Status>(0x80040200);
inline constexpr Status kSelfRegClass = static_cast<Status>(0x80040201);
inline constexpr Status kWrongThread = static_cast<Status>(0x8001010E);
// The automation runtime's own errors, raised by the shift calculation.
inline constexpr Status kTypeMismatch = static_cast<Status>(0x800A000D);
inline constexpr Status kOverflow = static_cast<Status>(0x800A0006);
inline constexpr Status kOutOfRange = static_cast<Status>(0x800A0009);

// The standard description of a status value ("Unknown name." for
// kUnknownName), "" for one without.
constexpr const char* StandardDescription(Status status) noexcept {
    switch (status) {
        case kUnexpected: return "Catastrophic failure";
        case kNoInterface: return "No such interface supported";
        case kPointer: return "Invalid pointer";
        case kFail: return "Unspecified error";
        case kOutOfMemory: return "Not enough memory resources are available to complete this operation.";
        case kInvalidArg: return "The parameter is incorrect.";
        case kUnknownName: return "Unknown name.";
        case kMemberNotFound: return "Member not found.";
        case kBadParamCount: return "Invalid number of parameters.";
        case kInvalidClassString: return "Invalid class string";
        case kClassNotRegistered: return "Class not registered";
        case kClassNotAvailable: return "ClassFactory cannot supply requested class";
        case kNoConnection: return "Connection does not exist";
        case kSelfRegClass: return "Error registering the classes";
        case kWrongThread: return "The application called an interface that was marshalled for a different thread.";
        case kTypeMismatch: return "Type mismatch";
        case kOverflow: return "Overflow";
        case kOutOfRange: return "Subscript out of range";
        default: return "";
    }
}

// A failure that carries the status it reaches the host with: a dialog
// operation that could not be carried out (no usable display, a call from
// another thread, a control of a form that is not loaded), or a failed shift
// calculation.
class StatusError : public std::runtime_error {
public:
    StatusError(Status status, const std::string& description) : std::runtime_error(description), status_(status) {}
    Status status() const noexcept { return status_; }

private:
    Status status_;
};

}  // namespace dg::status
