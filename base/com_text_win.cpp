#include "base/com_text.h"

#include <comdef.h>

namespace brisk {

UniqueBstr MakeBstr(std::wstring_view text) {
  BSTR made = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (made == nullptr) throw _com_error(E_OUTOFMEMORY);
  return UniqueBstr(made);
}

}  // namespace brisk
