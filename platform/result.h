#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace setup {

// Opaque handle of a system object (service, registry key, module, window). 0 is never valid.
using Handle = std::uintptr_t;

// Win32 error codes the program tells apart.
namespace win_error {
constexpr std::uint32_t success = 0;
constexpr std::uint32_t fileNotFound = 2;
constexpr std::uint32_t pathNotFound = 3;
constexpr std::uint32_t accessDenied = 5;
constexpr std::uint32_t invalidHandle = 6;
constexpr std::uint32_t notSupported = 50;
constexpr std::uint32_t invalidParameter = 87;
constexpr std::uint32_t adapterHardwareError = 57;
constexpr std::uint32_t alreadyExists = 183;
constexpr std::uint32_t moreData = 234;
constexpr std::uint32_t noMoreItems = 259;
constexpr std::uint32_t serviceRequestTimeout = 1053;
constexpr std::uint32_t serviceAlreadyRunning = 1056;
constexpr std::uint32_t serviceDisabled = 1058;
constexpr std::uint32_t serviceDoesNotExist = 1060;
constexpr std::uint32_t serviceNotActive = 1062;
}  // namespace win_error

// A value, or the error code the system call failed with.
template <class T>
class Result {
public:
    Result(T value) : value_(std::move(value)) {}
    static Result failure(std::uint32_t error) { return Result(error, 0); }

    explicit operator bool() const { return value_.has_value(); }
    const T& operator*() const { return *value_; }
    T& operator*() { return *value_; }
    const T* operator->() const { return &*value_; }
    std::uint32_t error() const { return error_; }

private:
    Result(std::uint32_t error, int) : error_(error) {}
    std::optional<T> value_;
    std::uint32_t error_ = 0;
};

// Owns one handle and gives it back through the close function of the family that made it.
template <class Closer>
class UniqueHandle {
public:
    UniqueHandle(Handle handle, Closer closer) : handle_(handle), closer_(std::move(closer)) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }
    void reset() {
        if (handle_ != 0) closer_(handle_);
        handle_ = 0;
    }

private:
    Handle handle_;
    Closer closer_;
};

}  // namespace setup
