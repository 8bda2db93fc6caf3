#include "shift/errors.h"

namespace dg::shift {

const char* DescribeStatus(std::int32_t status) {
    switch (status) {
        case kStatusTypeMismatch: return "Type mismatch";
        case kStatusOverflow: return "Overflow";
        case kStatusOutOfRange: return "Subscript out of range";
        default: return "Unexpected error";
    }
}

}  // namespace dg::shift
