// Owners for automation strings, variants and exception records.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace brisk {

class UniqueBstr {
 public:
  UniqueBstr() = default;
  explicit UniqueBstr(BSTR owned) : text_(owned) {}
  UniqueBstr(const UniqueBstr&) = delete;
  UniqueBstr& operator=(const UniqueBstr&) = delete;
  ~UniqueBstr() { reset(); }

  BSTR get() const { return text_; }
  BSTR release() { return std::exchange(text_, nullptr); }
  void reset(BSTR owned = nullptr) { SysFreeString(std::exchange(text_, owned)); }
  BSTR* put() {
    reset();
    return &text_;
  }
  // The text; empty for a null string.
  std::wstring str() const { return text_ ? std::wstring(text_, SysStringLen(text_)) : std::wstring(); }

 private:
  BSTR text_ = nullptr;
};

// A string the server can read (with its length prefix); raises _com_error
// with E_OUTOFMEMORY when it cannot be allocated.
UniqueBstr MakeBstr(std::wstring_view text);

// The exception record an Invoke may fill: its three strings are freed once,
// when the owner goes.
class UniqueExcepInfo {
 public:
  UniqueExcepInfo() = default;
  UniqueExcepInfo(const UniqueExcepInfo&) = delete;
  UniqueExcepInfo& operator=(const UniqueExcepInfo&) = delete;
  ~UniqueExcepInfo() {
    SysFreeString(value_.bstrSource);
    SysFreeString(value_.bstrDescription);
    SysFreeString(value_.bstrHelpFile);
  }

  EXCEPINFO* get() { return &value_; }
  const EXCEPINFO& operator*() const { return value_; }
  const EXCEPINFO* operator->() const { return &value_; }

 private:
  EXCEPINFO value_{};
};

class UniqueVariant {
 public:
  UniqueVariant() { VariantInit(&value_); }
  UniqueVariant(const UniqueVariant&) = delete;
  UniqueVariant& operator=(const UniqueVariant&) = delete;
  ~UniqueVariant() { VariantClear(&value_); }

  VARIANT* get() { return &value_; }
  const VARIANT& operator*() const { return value_; }
  const VARIANT* operator->() const { return &value_; }

 private:
  VARIANT value_;
};

}  // namespace brisk
