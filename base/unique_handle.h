// Owners for Windows handles: each closes its handle exactly once.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

namespace brisk {

// T is a handle (pointer) type; InvalidValue is the integer value of the
// handle that means "none" (0 for most kinds, -1 for file handles).
template <typename T, auto Close, std::intptr_t InvalidValue = 0>
class UniqueAny {
  static T Invalid() { return reinterpret_cast<T>(InvalidValue); }

 public:
  UniqueAny() = default;
  explicit UniqueAny(T value) : value_(value) {}
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : value_(std::exchange(other.value_, Invalid())) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(std::exchange(other.value_, Invalid()));
    return *this;
  }
  ~UniqueAny() { reset(); }

  T get() const { return value_; }
  explicit operator bool() const { return value_ != Invalid(); }
  T release() { return std::exchange(value_, Invalid()); }
  // Clears the field before closing, so that the handle is never closed twice.
  void reset(T value = Invalid()) {
    const T old = std::exchange(value_, value);
    if (old != Invalid()) Close(old);
  }
  T* put() {
    reset();
    return &value_;
  }

 private:
  T value_ = Invalid();
};

using UniqueHandle = UniqueAny<HANDLE, ::CloseHandle>;
using UniqueFileHandle = UniqueAny<HANDLE, ::CloseHandle, -1>;
// A directory search of FindFirstFileW.
using UniqueFindHandle = UniqueAny<HANDLE, ::FindClose, -1>;
using UniqueIcon = UniqueAny<HICON, ::DestroyIcon>;
using UniqueModule = UniqueAny<HMODULE, ::FreeLibrary>;

}  // namespace brisk
