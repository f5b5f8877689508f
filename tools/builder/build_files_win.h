// Files of a build on Windows: whole-file reads and writes, the identity of
// a file, scratch files beside the output and the lock of one output.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/unique_handle.h"

namespace brisk {

// The system's text for a Windows error code, on one line.
std::string SystemMessage(DWORD error);

// A path as UTF-8, for messages.
std::string Utf8Path(const std::filesystem::path& path);

// The whole file, when it is a regular file of at most `maxBytes`; the
// reason otherwise.
std::string ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes);

// Replaces the file's content; a Windows error code, 0 on success.
DWORD WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// What makes two paths one file: its volume and its index there.
struct FileIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

// A new, empty file beside `beside` under a name no other file has
// ("<beside>.~<tag>-<process id>-<n><extension>", made with CREATE_NEW),
// deleted again when its owner ends unless it was moved into place.
class ScratchFile {
 public:
  ScratchFile() = default;
  ScratchFile(ScratchFile&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
  ScratchFile& operator=(ScratchFile&& other) noexcept;
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile();

  // The Windows error code when no file could be made.
  static std::optional<ScratchFile> Create(const std::filesystem::path& beside, const std::wstring& tag,
                                           const std::wstring& extension, DWORD& error);

  const std::filesystem::path& path() const { return path_; }
  // Moves the file to `target`, replacing what is there; afterwards it is
  // no scratch file any more. A Windows error code, 0 on success.
  DWORD MoveTo(const std::filesystem::path& target);

 private:
  std::filesystem::path path_;
};

// Held while a build writes one output: a second build of the same output
// (the same folder, the same name in any case) finds it taken. A named
// mutex, so that nothing is left behind by a build that was killed.
class OutputLock {
 public:
  // Nothing when the folder cannot be opened.
  static std::optional<OutputLock> Create(const std::filesystem::path& output);
  OutputLock(OutputLock&&) = default;
  ~OutputLock();
  // False when another build holds it.
  bool TryTake();

 private:
  OutputLock() = default;
  UniqueHandle mutex_;
  bool taken_ = false;
};

}  // namespace brisk
