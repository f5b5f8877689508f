// Failures of COM calls as a test reads them.
#pragma once

#include <windows.h>
#include <comdef.h>

#include <functional>

namespace brisk::test {

// The HRESULT of the _com_error that `call` raises; S_OK when it raises none.
inline HRESULT CaughtHresult(const std::function<void()>& call) {
  try {
    call();
  } catch (const _com_error& error) {
    return error.Error();
  }
  return S_OK;
}

}  // namespace brisk::test
