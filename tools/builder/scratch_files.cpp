// The names of the builder's scratch files, and the sweep of those that a
// killed build left: the same on every platform.
#include <system_error>

#include "build_files.h"

namespace brisk {

namespace {

bool SameLetter(char a, char b, bool ignoreCase) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return ignoreCase ? lower(a) == lower(b) : a == b;
}

// Takes `prefix` off the front of `name`.
bool Take(std::string_view& name, std::string_view prefix, bool ignoreCase) {
  if (name.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (!SameLetter(name[i], prefix[i], ignoreCase)) return false;
  }
  name.remove_prefix(prefix.size());
  return true;
}

// Takes one or more characters of `digits` off the front of `name`.
bool TakeDigits(std::string_view& name, std::string_view digits) {
  std::size_t count = 0;
  while (count < name.size() && digits.find(name[count]) != std::string_view::npos) ++count;
  name.remove_prefix(count);
  return count > 0;
}

// "-P-N" after a tag: the process id in hex, the attempt in decimal.
bool TakeNumbers(std::string_view& name) {
  return Take(name, "-", false) && TakeDigits(name, "0123456789abcdef") && Take(name, "-", false) &&
         TakeDigits(name, "0123456789");
}

// What may follow a scratch file's name: nothing, or its sign command's log.
bool IsEndOrLog(std::string_view rest) {
  return rest.empty() || (Take(rest, ".~log", false) && TakeNumbers(rest) && rest == ".txt");
}

}  // namespace

bool IsScratchFileName(std::string_view name, std::string_view output, bool ignoreCase) {
  if (!Take(name, output, ignoreCase) || !Take(name, ".~", false)) return false;
  if (Take(name, "build", false)) return TakeNumbers(name) && Take(name, ".tmp", false) && IsEndOrLog(name);
  if (!Take(name, "addin", false) || !TakeNumbers(name)) return false;
  // The add-in's own extension, if it has one: a dot and no further dot.
  if (!name.empty() && name.front() == '.' && !name.starts_with(".~log-")) {
    const std::size_t end = name.find('.', 1);
    name.remove_prefix(end == std::string_view::npos ? name.size() : end);
  }
  return IsEndOrLog(name);
}

void RemoveStaleScratchFiles(const std::filesystem::path& output) {
#ifdef _WIN32
  constexpr bool kIgnoreCase = true;
#else
  constexpr bool kIgnoreCase = false;
#endif
  const std::string outputName = Utf8Path(output.filename());
  std::error_code error;
  for (std::filesystem::directory_iterator entry(output.parent_path(), error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = Utf8Path(entry->path().filename());
    if (!IsScratchFileName(name, outputName, kIgnoreCase)) continue;
    std::error_code status;
    if (!entry->is_symlink(status) && entry->is_regular_file(status)) std::filesystem::remove(entry->path(), status);
  }
}

}  // namespace brisk
