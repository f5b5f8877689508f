// The calling thread's membership of a single-threaded COM apartment, for
// the life of the scope.
#pragma once

#include <objbase.h>

namespace brisk {

class ComApartment {
 public:
  ComApartment() : result_(CoInitialize(nullptr)) {}
  // Leaves the apartment only when joining it succeeded (S_FALSE, "already
  // joined", counts as joined and is balanced too), and unless told to stay.
  ~ComApartment() {
    if (SUCCEEDED(result_) && !stay_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  HRESULT result() const { return result_; }
  // Leaving the apartment releases what it still holds, with a call to each
  // object's server: after a server that does not answer, the thread stays
  // in it until the process ends, which frees everything without a call.
  void StayUntilTheProcessEnds() { stay_ = true; }

 private:
  const HRESULT result_;
  bool stay_ = false;
};

}  // namespace brisk
