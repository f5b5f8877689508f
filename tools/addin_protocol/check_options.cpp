#include "tools/addin_protocol/check_options.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace brisk::addin {

namespace {

std::optional<std::int64_t> ParseInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  std::int64_t value = 0;
  const auto [end, errc] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || errc != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return negative ? -value : value;
}

template <typename T>
bool ReadInteger(std::string_view text, std::optional<T>& out) {
  const auto value = ParseInteger(text);
  // 32-bit options accept both signed and unsigned spellings of one value.
  if constexpr (sizeof(T) == 4) {
    if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
        *value > std::numeric_limits<std::uint32_t>::max()) {
      return false;
    }
    out = static_cast<T>(static_cast<std::uint32_t>(*value));
  } else {
    if (!value || *value < std::numeric_limits<T>::min() || *value > std::numeric_limits<T>::max()) return false;
    out = static_cast<T>(*value);
  }
  return true;
}

bool ReadYesNo(std::string_view text, std::optional<bool>& out) {
  if (text == "yes")
    out = true;
  else if (text == "no")
    out = false;
  else
    return false;
  return true;
}

}  // namespace

std::optional<std::string> ParseExpectationOptions(const std::vector<std::string>& args, HandoverExpectation& expect) {
  for (std::size_t i = 0; i < args.size(); i += 2) {
    const std::string& name = args[i];
    if (i + 1 >= args.size()) return "option " + name + " needs a value";
    const std::string& value = args[i + 1];
    bool ok = false;
    if (name == "--pid")
      ok = ReadInteger(value, expect.launcherProcessId);
    else if (name == "--property1209")
      ok = ReadInteger(value, expect.intProperty1209);
    else if (name == "--language")
      ok = ReadInteger(value, expect.languageByte);
    else if (name == "--option")
      ok = ReadInteger(value, expect.optionValue);
    else if (name == "--exe-path")
      ok = ReadYesNo(value, expect.exePathKnown);
    else if (name == "--settings-record")
      ok = ReadYesNo(value, expect.settingsRecord);
    else if (name == "--completed")
      ok = ReadYesNo(value, expect.completed);
    else if (name == "--external")
      ok = ReadYesNo(value, expect.externalStorage);
    else if (name == "--visible-at-end")
      ok = ReadYesNo(value, expect.visibleAtEnd);
    else if (name == "--icon")
      ok = ReadYesNo(value, expect.iconBeforeHandover);
    else if (name == "--quit")
      ok = ReadYesNo(value, expect.quitPosted);
    else
      return "unknown option " + name;
    if (!ok) return "bad value \"" + value + "\" for " + name;
  }
  return std::nullopt;
}

}  // namespace brisk::addin
