#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

#include "build_files.h"
#include "interruption.h"
#include "sign_command.h"

extern char** environ;

namespace brisk {

namespace {

// The shell script that runs the command line: $1 the folder, $2 the
// command line, $3 the log file. The same as under Wine.
constexpr char kShellScript[] = "exec </dev/null >\"$3\" 2>&1; cd \"$1\" || exit 126; eval \"$2\"";

}  // namespace

std::string QuotedForShell(const std::filesystem::path& file) { return ShellQuoted(file.string()); }

ShellOutcome RunShellCommand(const std::string& commandLine, const std::filesystem::path& workingFolder,
                             const std::filesystem::path& log) {
  std::string shell = "/bin/sh";
  std::string dashC = "-c";
  std::string script = kShellScript;
  std::string name = "brisk-shell";
  std::string folder = workingFolder.string();
  std::string command = commandLine;
  std::string logName = log.string();
  char* const argv[] = {shell.data(),  dashC.data(),   script.data(),  name.data(),
                        folder.data(), command.data(), logName.data(), nullptr};
  // A process group of its own, which an interrupted build ends whole
  // (interruption.h).
  posix_spawnattr_t attributes;
  ::posix_spawnattr_init(&attributes);
  ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  ::posix_spawnattr_setpgroup(&attributes, 0);
  pid_t child = 0;
  const int error = ::posix_spawn(&child, shell.c_str(), nullptr, &attributes, argv, environ);
  ::posix_spawnattr_destroy(&attributes);
  if (error != 0) return {false, 0, std::string("/bin/sh could not be started: ") + std::strerror(error)};
  interruption::SetChild(child);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      interruption::SetChild(0);
      return {false, 0, std::string("waiting for /bin/sh failed: ") + std::strerror(errno)};
    }
  }
  interruption::SetChild(0);
  if (WIFSIGNALED(status)) return {true, 128 + WTERMSIG(status), {}};
  return {true, WEXITSTATUS(status), {}};
}

}  // namespace brisk
