#include "tools/addin_protocol/handover_contract.h"

namespace brisk::addin {

int HandoverIndex(std::uint32_t number) {
  for (std::size_t i = 0; i < kHandoverMessages.size(); ++i) {
    if (kHandoverMessages[i].number == number) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace brisk::addin
