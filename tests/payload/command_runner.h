// Runs a program of the build through the shell and captures what it prints
// (native builds only).
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace brisk::test {

struct CommandResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline CommandResult RunCommand(const std::string& program, const std::vector<std::string>& args,
                                const std::filesystem::path& scratch) {
  const auto out = scratch / "stdout.txt";
  const auto err = scratch / "stderr.txt";
  std::string command = ShellQuote(program);
  for (const std::string& arg : args) command += " " + ShellQuote(arg);
  command += " </dev/null >" + ShellQuote(out.string()) + " 2>" + ShellQuote(err.string());
  const int status = std::system(command.c_str());
  CommandResult result;
  if (status != -1 && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  result.out = ReadAll(out);
  result.err = ReadAll(err);
  return result;
}

}  // namespace brisk::test
