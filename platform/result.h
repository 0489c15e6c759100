#pragma once

#include <cstdint>
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
    T* operator->() { return &*value_; }
    std::uint32_t error() const { return error_; }

private:
    Result(std::uint32_t error, int) : error_(error) {}
    std::optional<T> value_;
    std::uint32_t error_ = 0;
};

// Owns one handle of a seam family and gives it back, once, through the family's own close
// call. The close is part of the type, so each kind of handle is one line below its family
// (`RegistryKey`, `PrinterHandle`...). Movable, never copied: a handle has one owner.
template <class Family, auto Close>
class UniqueHandle {
public:
    UniqueHandle() = default;
    UniqueHandle(Family& family, Handle handle) : family_(&family), handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : family_(other.family_), handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset();
            family_ = other.family_;
            handle_ = other.release();
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    // What a family's open call gave, owned from here on; its error when the call failed.
    static Result<UniqueHandle> adopt(Family& family, const Result<Handle>& opened) {
        if (!opened) return Result<UniqueHandle>::failure(opened.error());
        return UniqueHandle(family, *opened);
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }
    // Gives the handle up without closing it.
    Handle release() { return std::exchange(handle_, 0); }
    void reset() {
        if (handle_ != 0) (family_->*Close)(release());
    }

private:
    Family* family_ = nullptr;
    Handle handle_ = 0;
};

}  // namespace setup
