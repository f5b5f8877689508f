// Owner of one COM reference: released exactly once, the field cleared first.
#pragma once

#include <unknwn.h>

#include <utility>

namespace brisk {

template <typename T>
class ComRef {
 public:
  ComRef() = default;
  // Takes over a reference that the caller owns.
  explicit ComRef(T* owned) : pointer_(owned) {}
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ComRef(ComRef&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) reset(std::exchange(other.pointer_, nullptr));
    return *this;
  }
  ~ComRef() { reset(); }

  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  T* release() { return std::exchange(pointer_, nullptr); }
  void reset(T* owned = nullptr) {
    if (T* old = std::exchange(pointer_, owned)) old->Release();
  }
  // For out-parameters: releases the current reference first.
  T** put() {
    reset();
    return &pointer_;
  }

 private:
  T* pointer_ = nullptr;
};

}  // namespace brisk
