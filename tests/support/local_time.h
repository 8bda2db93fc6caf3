#pragma once
// The local calendar time of a time_t, on POSIX and on Windows.
#include <ctime>

namespace dg::testsupport {

inline std::tm LocalTm(std::time_t when) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &when);
#else
    localtime_r(&when, &local);
#endif
    return local;
}

}  // namespace dg::testsupport
