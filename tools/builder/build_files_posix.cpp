#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "build_files.h"
#include "interruption.h"

namespace brisk {

namespace {

std::string ErrorText(int error) { return std::strerror(error); }

// A file descriptor, closed with its owner.
class UniqueDescriptor {
 public:
  explicit UniqueDescriptor(int descriptor) : descriptor_(descriptor) {}
  UniqueDescriptor(const UniqueDescriptor&) = delete;
  UniqueDescriptor& operator=(const UniqueDescriptor&) = delete;
  ~UniqueDescriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  int get() const { return descriptor_; }
  explicit operator bool() const { return descriptor_ >= 0; }
  int release() { return std::exchange(descriptor_, -1); }

 private:
  int descriptor_;
};

}  // namespace

std::string Utf8Path(const std::filesystem::path& path) { return path.string(); }

std::filesystem::path FullPath(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::path full = std::filesystem::absolute(path, error);
  return error ? path : full.lexically_normal();
}

std::optional<std::string> EnvironmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

std::string ReadWholeFile(const std::filesystem::path& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes,
                          std::size_t prefix) {
  const UniqueDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file) return ErrorText(errno);
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) return ErrorText(errno);
  if (S_ISDIR(status.st_mode)) return "it is a folder";
  if (!S_ISREG(status.st_mode)) return "it is no regular file";
  if (static_cast<std::uint64_t>(status.st_size) > maxBytes) {
    return "larger than " + std::to_string(maxBytes / (1024 * 1024)) + " MiB";
  }
  bytes.assign(prefix + static_cast<std::size_t>(status.st_size), 0);
  std::size_t done = prefix;
  while (done < bytes.size()) {
    const ssize_t read = ::read(file.get(), bytes.data() + done, bytes.size() - done);
    if (read < 0 && errno == EINTR) continue;
    if (read < 0) return ErrorText(errno);
    if (read == 0) return "it ended early";
    done += static_cast<std::size_t>(read);
  }
  return {};
}

std::string WriteWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  const UniqueDescriptor file(::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
  if (!file) return ErrorText(errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(file.get(), bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return ErrorText(errno);
    done += static_cast<std::size_t>(written);
  }
  return ::fsync(file.get()) == 0 ? std::string() : ErrorText(errno);
}

std::optional<FileIdentity> IdentityOf(const std::filesystem::path& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

ScratchFile& ScratchFile::operator=(ScratchFile&& other) noexcept {
  if (this != &other) {
    if (!path_.empty()) ::unlink(path_.c_str());
    interruption::Release(slot_);
    path_ = std::exchange(other.path_, {});
    slot_ = std::exchange(other.slot_, -1);
  }
  return *this;
}

ScratchFile::~ScratchFile() {
  if (!path_.empty()) ::unlink(path_.c_str());
  interruption::Release(slot_);
}

std::optional<ScratchFile> ScratchFile::Create(const std::filesystem::path& beside, const std::string& tag,
                                               const std::string& extension, std::string& error) {
  char process[24];
  std::snprintf(process, sizeof process, "%lx", static_cast<unsigned long>(::getpid()));
  for (unsigned attempt = 0; attempt < 1000; ++attempt) {
    std::filesystem::path path = beside;
    path += ".~" + tag + "-" + process + "-" + std::to_string(attempt) + extension;
    const UniqueDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file) {
      ScratchFile scratch;
      scratch.slot_ = interruption::Hold(path);
      scratch.path_ = std::move(path);
      return scratch;
    }
    error = ErrorText(errno);
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

std::string ScratchFile::MoveTo(const std::filesystem::path& target) {
  if (::rename(path_.c_str(), target.c_str()) != 0) return ErrorText(errno);
  path_.clear();
  interruption::Release(std::exchange(slot_, -1));
  return {};
}

std::optional<OutputLock> OutputLock::Create(const std::filesystem::path& output, std::string& error) {
  struct stat folder {};
  if (::stat(output.parent_path().c_str(), &folder) != 0) {
    error = ErrorText(errno);
    return std::nullopt;
  }
  OutputLock lock;
  lock.path_ = output;
  lock.path_ += ".~lock";
  return lock;
}

OutputLock::OutputLock(OutputLock&& other) noexcept
    : path_(std::move(other.path_)),
      descriptor_(std::exchange(other.descriptor_, -1)),
      slot_(std::exchange(other.slot_, -1)) {}

OutputLock::~OutputLock() {
  if (descriptor_ < 0) return;
  // Let go of first: an interruption after this leaves a lock file that the
  // next build takes, never removes one that another build made meanwhile.
  interruption::Release(slot_);
  // Removed while still held: a build that opened the file before it went
  // finds, once it has the lock, that its file is no longer the lock file.
  ::unlink(path_.c_str());
  ::close(descriptor_);
}

bool OutputLock::TryTake(std::string& error) {
  // The folder refuses the file: said as such, not taken for another build.
  const auto cannot = [&](int code) {
    error = code == EACCES || code == EPERM || code == EROFS
                ? ErrorText(code)
                : "its lock file " + path_.filename().string() + ": " + ErrorText(code);
    return false;
  };
  for (int attempt = 0; attempt < 100; ++attempt) {
    UniqueDescriptor file(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (!file) return cannot(errno);
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK || errno == EINTR) return false;
      return cannot(errno);
    }
    struct stat held {
    }, named{};
    if (::fstat(file.get(), &held) == 0 && ::stat(path_.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino) {
      descriptor_ = file.release();
      slot_ = interruption::Hold(path_);
      return true;
    }
  }
  return false;
}

}  // namespace brisk
