// Files through the C runtime, named by UTF-16 paths on every platform: the
// launcher reads and writes its few files without iostreams.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>

namespace brisk {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// `mode` as fopen takes it ("rb", "wb"). On Windows the path goes to the
// system as UTF-16; elsewhere as UTF-8. Null when the file cannot be opened,
// and for a folder opened for reading.
UniqueFile OpenFile(std::u16string_view path, const char* mode);

// The file's size in bytes (the position is left at the start); nothing when
// it cannot be told.
std::optional<std::uint64_t> FileSize(std::FILE* file);

}  // namespace brisk
