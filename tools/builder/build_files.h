// Files of a build, on Windows and on POSIX systems alike: whole-file reads
// and writes, the identity of a file, scratch files beside the output and the
// lock of one output. Errors come back as one line of text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#ifdef _WIN32
#include "base/unique_handle.h"
#endif

namespace brisk {

#ifdef _WIN32
// The system's text for a Windows error code, on one line.
std::string SystemMessage(unsigned long error);
#endif

// A path as UTF-8, for messages.
std::string Utf8Path(const std::filesystem::path& path);

// The absolute form of a path, without resolving links.
std::filesystem::path FullPath(const std::filesystem::path& path);

// An environment variable's value as UTF-8; nothing when it is not set.
std::optional<std::string> EnvironmentVariable(const char* name);

// The whole file, when it is a regular file of at most `maxBytes`; the
// reason otherwise.
std::string ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes);

// Replaces the content of an existing file; the reason it failed, or nothing.
std::string WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// What makes two paths one file: its volume or device and its index there.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
};
std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path);

// A new, empty file beside `beside` under a name no other file has
// ("<beside>.~<tag>-<process id>-<n><extension>", made exclusively),
// deleted again when its owner ends unless it was moved into place.
class ScratchFile {
 public:
  ScratchFile() = default;
  ScratchFile(ScratchFile&& other) noexcept : path_(std::move(other.path_)) { other.path_.clear(); }
  ScratchFile& operator=(ScratchFile&& other) noexcept;
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile();

  // Nothing, and the reason in `error`, when no file could be made.
  static std::optional<ScratchFile> Create(const std::filesystem::path& beside, const std::string& tag,
                                           const std::string& extension, std::string& error);

  const std::filesystem::path& path() const { return path_; }
  // Moves the file to `target`, replacing what is there; afterwards it is
  // no scratch file any more. The reason it failed, or nothing.
  std::string MoveTo(const std::filesystem::path& target);

 private:
  std::filesystem::path path_;
};

// Held while a build writes one output: a second build of the same output
// finds it taken. Nothing is left behind by a build that was killed: on
// Windows it is a named mutex (the same folder, the same name in any case);
// elsewhere an advisory lock (flock) on "<output>.~lock", which the holder
// removes when it lets go and which the system releases when it dies.
class OutputLock {
 public:
  // Nothing, and the reason in `error`, when the folder cannot be used.
  static std::optional<OutputLock> Create(const std::filesystem::path& output, std::string& error);
  OutputLock(OutputLock&& other) noexcept;
  OutputLock& operator=(OutputLock&&) = delete;
  ~OutputLock();
  // False when another build holds it.
  bool TryTake();

 private:
  OutputLock() = default;
#ifdef _WIN32
  UniqueHandle mutex_;
  bool taken_ = false;
#else
  std::filesystem::path path_;
  int descriptor_ = -1;
#endif
};

}  // namespace brisk
