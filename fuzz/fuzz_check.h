#pragma once
// Shared by the fuzz harnesses: a check that stops the run loudly (the
// fuzzer records the input as a crash), and a small reader over the input.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#define FUZZ_CHECK(cond)                                                                  \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

namespace dg::fuzz {

// Takes bytes off the front of the input; past its end everything reads as 0.
class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool Empty() const { return size_ == 0; }
    std::uint8_t Byte() {
        if (size_ == 0) return 0;
        --size_;
        return *data_++;
    }
    template <typename T>
    T Raw() {
        T value{};
        unsigned char bytes[sizeof(T)] = {};
        for (auto& b : bytes) b = Byte();
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }
    // A text of at most `max` bytes, its length from one byte.
    std::string Text(std::size_t max = 255) {
        std::size_t n = Byte();
        if (n > max) n = max;
        if (n > size_) n = size_;
        std::string out(reinterpret_cast<const char*>(data_), n);
        data_ += n, size_ -= n;
        return out;
    }
    std::string Rest() {
        std::string out(reinterpret_cast<const char*>(data_), size_);
        data_ += size_, size_ = 0;
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

// Works in `dir` (where the harness keeps its mdb/Para.mdb) for its lifetime,
// then goes back, so that the fuzzer's own relative paths stay valid.
class ScopedWorkingDir {
public:
    explicit ScopedWorkingDir(const std::filesystem::path& dir) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~ScopedWorkingDir() { std::filesystem::current_path(previous_); }
    ScopedWorkingDir(const ScopedWorkingDir&) = delete;
    ScopedWorkingDir& operator=(const ScopedWorkingDir&) = delete;

private:
    std::filesystem::path previous_;
};

}  // namespace dg::fuzz
