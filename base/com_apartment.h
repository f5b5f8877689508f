// The calling thread's membership of a single-threaded COM apartment, for
// the life of the scope.
#pragma once

#include <objbase.h>

namespace brisk {

class ComApartment {
 public:
  ComApartment() : result_(CoInitialize(nullptr)) {}
  // Leaves the apartment only when joining it succeeded (S_FALSE, "already
  // joined", counts as joined and is balanced too).
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  HRESULT result() const { return result_; }

 private:
  const HRESULT result_;
};

}  // namespace brisk
