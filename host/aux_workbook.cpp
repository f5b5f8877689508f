#include "host/aux_workbook.h"

#include <algorithm>

namespace brisk {

bool IsAuxWorkbook(const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size < kAuxWorkbookMagic.size()) return false;
  return std::equal(kAuxWorkbookMagic.begin(), kAuxWorkbookMagic.end(), data,
                    [](char expected, std::uint8_t actual) { return static_cast<std::uint8_t>(expected) == actual; });
}

std::vector<std::uint8_t> MakeAuxWorkbook() {
  return std::vector<std::uint8_t>(kAuxWorkbookMagic.begin(), kAuxWorkbookMagic.end());
}

}  // namespace brisk
