// Runs the manifest's sign command on one file, through the machine's shell.
//
// On Linux and other POSIX systems the command is a /bin/sh command line:
// the builder runs /bin/sh -c with a fixed script and the folder, the command
// and the log file as arguments, and {file} becomes the file's path in single
// quotes.
//
// Under Wine the command is a Unix command line. Wine starts a Unix program
// that CreateProcessW is given, but hands back no process handle to wait
// on, so the builder asks ntdll's __wine_unix_spawnvp instead: it forks,
// runs /bin/sh -c with the command and waits for it, returning its exit
// status. The shell gets the folder, the command and the log file as
// arguments, so nothing but the file name is ever quoted: {file} becomes
// the file's Unix path in single quotes (wine_get_unix_file_name).
//
// On Windows itself the command runs through cmd.exe /d /s /c, with {file}
// the file's path in double quotes, and the builder waits on the process.
//
// Detection: Wine is there when ntdll exports __wine_unix_spawnvp and
// kernel32 wine_get_unix_file_name. Either way the command runs in the
// manifest's folder, reads nothing from
// standard input and writes its output to a log file beside the signed
// file, which goes into the error whole when the command fails (after the
// error's line, or on it when it is one line).
#pragma once

#include <filesystem>
#include <string>

namespace brisk {

// Replaces every {file} of `command` by `quotedFile`.
std::string SubstituteFile(const std::string& command, const std::string& quotedFile);

// A path quoted for /bin/sh: in single quotes, each ' written as '\''.
std::string ShellQuoted(const std::string& path);

// What a shell command came to.
struct ShellOutcome {
  bool started = false;
  long status = 0;         // the exit status, once started
  std::string startError;  // why it did not start
};

// The file's path as the command line of RunShellCommand names it: natively
// and under Wine its Unix path in single quotes, on Windows its path in
// double quotes. Empty when Wine gives no Unix path for it.
std::string QuotedForShell(const std::filesystem::path& file);

// Runs a command line of the machine's shell (/bin/sh natively and under
// Wine, cmd.exe on Windows) in `workingFolder` with no standard input and its output, both
// streams, in the file `log`; waits for it.
ShellOutcome RunShellCommand(const std::string& commandLine, const std::filesystem::path& workingFolder,
                             const std::filesystem::path& log);

// Runs `command` on `file` (which it is to sign in place) in
// `workingFolder`; returns the reason it failed, or nothing. The reason is
// one line, followed by the command's output when that has more than one
// line.
// `what` names the file in that reason ("the build ...", "the add-in ...").
std::string RunSignCommand(const std::string& command, const std::filesystem::path& file,
                           const std::filesystem::path& workingFolder, const std::string& what);

}  // namespace brisk
