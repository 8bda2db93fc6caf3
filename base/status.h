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

// The texts of a status value: the Chinese sentence that leads every
// description of it, the automation runtime's standard English text, and
// the two joined ("未知的名称：Unknown name."). All empty for a status
// without texts.
struct StatusTexts {
    const char* sentence;
    const char* standard;
    const char* description;
};

// The joined text is spelt out by the preprocessor so that it can be handed
// out as a constant (dg_status_text returns it).
#define DG_STATUS_TEXTS(sentence, standard) \
    StatusTexts { sentence, standard, sentence "：" standard }
constexpr StatusTexts TextsOf(Status status) noexcept {
    switch (status) {
        case kUnexpected: return DG_STATUS_TEXTS("发生了意外的错误", "Catastrophic failure");
        case kNoInterface: return DG_STATUS_TEXTS("不支持所要求的接口", "No such interface supported");
        case kPointer: return DG_STATUS_TEXTS("指针无效", "Invalid pointer");
        case kFail: return DG_STATUS_TEXTS("操作失败", "Unspecified error");
        case kOutOfMemory:
            return DG_STATUS_TEXTS("内存不足", "Not enough memory resources are available to complete this operation.");
        case kInvalidArg: return DG_STATUS_TEXTS("参数不正确", "The parameter is incorrect.");
        case kUnknownName: return DG_STATUS_TEXTS("未知的名称", "Unknown name.");
        case kMemberNotFound: return DG_STATUS_TEXTS("找不到该成员", "Member not found.");
        case kBadParamCount: return DG_STATUS_TEXTS("参数个数不正确", "Invalid number of parameters.");
        case kInvalidClassString: return DG_STATUS_TEXTS("无效的类名（ProgID 或 CLSID）", "Invalid class string");
        case kClassNotRegistered: return DG_STATUS_TEXTS("类没有注册", "Class not registered");
        case kClassNotAvailable:
            return DG_STATUS_TEXTS("本库不提供所要求的类", "ClassFactory cannot supply requested class");
        case kNoConnection: return DG_STATUS_TEXTS("该事件连接不存在", "Connection does not exist");
        case kSelfRegClass: return DG_STATUS_TEXTS("注册类时出错", "Error registering the classes");
        case kWrongThread:
            return DG_STATUS_TEXTS("不能从创建对象的线程以外的线程调用它",
                                   "The application called an interface that was marshalled for a different "
                                   "thread.");
        case kTypeMismatch: return DG_STATUS_TEXTS("类型不匹配", "Type mismatch");
        case kOverflow: return DG_STATUS_TEXTS("溢出", "Overflow");
        case kOutOfRange: return DG_STATUS_TEXTS("下标越界", "Subscript out of range");
        default: return {"", "", ""};
    }
}
#undef DG_STATUS_TEXTS

// The standard description of a status value, Chinese first
// ("未知的名称：Unknown name." for kUnknownName), "" for one without.
constexpr const char* StandardDescription(Status status) noexcept { return TextsOf(status).description; }

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
