// Files of a build, on Windows and on POSIX systems alike: whole-file reads
// and writes, the identity of a file, scratch files beside the output and the
// lock of one output. Errors come back as one line of text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
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

// The whole file, when it is a regular file of at most `maxBytes`, after
// `prefix` zero bytes; the reason otherwise (the system's, when it has one).
std::string ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes,
                          std::size_t prefix = 0);

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
// ("<beside>.~<tag>-<process id in hex>-<n><extension>", made exclusively),
// deleted again when its owner ends unless it was moved into place, and
// when the build is interrupted (interruption.h).
class ScratchFile {
 public:
  ScratchFile() = default;
  ScratchFile(ScratchFile&& other) noexcept
      : path_(std::exchange(other.path_, {})), slot_(std::exchange(other.slot_, -1)) {}
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
  int slot_ = -1;  // in interruption.h
};

// Whether `name` is the name of a scratch file that a build of the output
// named `output` makes: its copy of the build ("<output>.~build-P-N.tmp"),
// an add-in's signing copy ("<output>.~addin-P-N" and the add-in's
// extension), or the log of a sign command run on either (that name, then
// ".~log-P-N.txt"); P a process id in hex, N a decimal number. Letters are
// compared without case when `ignoreCase` (file names on Windows).
bool IsScratchFileName(std::string_view name, std::string_view output, bool ignoreCase);

// Removes the scratch files that earlier builds of `output` left behind
// when they were killed: regular files beside it whose names
// IsScratchFileName accepts, never a link or a folder. Called by a build
// that holds the output's lock, so that no other build of it is writing
// them.
void RemoveStaleScratchFiles(const std::filesystem::path& output);

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
  // False when another build holds it (`error` stays empty) or when the
  // lock cannot be made (`error` says why: the folder is read-only, ...).
  bool TryTake(std::string& error);

 private:
  OutputLock() = default;
#ifdef _WIN32
  UniqueHandle mutex_;
  bool taken_ = false;
#else
  std::filesystem::path path_;
  int descriptor_ = -1;
  int slot_ = -1;  // in interruption.h
#endif
};

}  // namespace brisk
