// Subcommands of launcher-tool. Each gets its own arguments (after the
// subcommand name) and returns the exit status: 0 success, 1 input refused
// (after one line on stderr), 2 usage error.
#pragma once

#include <string>
#include <vector>

namespace brisk::tool {

using Args = std::vector<std::string>;

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitUsage = 2;

int RunPack(const Args& args);
int RunUnpack(const Args& args);
int RunEncode(const Args& args);
int RunDecode(const Args& args);
int RunStrings(const Args& args);
int RunSettings(const Args& args);
int RunMessages(const Args& args);
int RunExpand(const Args& args);
int RunBuild(const Args& args);
int RunShow(const Args& args);

// Prints "launcher-tool: MESSAGE" on stderr and returns kExitRefused.
int Refuse(const std::string& message);
// Prints "usage: launcher-tool USAGE" on stderr and returns kExitUsage.
int Usage(const std::string& usage);

}  // namespace brisk::tool
