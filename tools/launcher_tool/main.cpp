// launcher-tool: the launcher's own formats and rules, on the command line.
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"

namespace brisk::tool {

int Refuse(const std::string& message) {
  std::fprintf(stderr, "launcher-tool: %s\n", message.c_str());
  return kExitRefused;
}

int Usage(const std::string& usage) {
  std::fprintf(stderr, "usage: launcher-tool %s\n", usage.c_str());
  return kExitUsage;
}

}  // namespace brisk::tool

namespace {

struct Command {
  const char* name;
  int (*run)(const brisk::tool::Args&);
};

constexpr Command kCommands[] = {
    {"pack", brisk::tool::RunPack},         {"unpack", brisk::tool::RunUnpack},
    {"encode", brisk::tool::RunEncode},     {"decode", brisk::tool::RunDecode},
    {"strings", brisk::tool::RunStrings},   {"settings", brisk::tool::RunSettings},
    {"messages", brisk::tool::RunMessages}, {"expand", brisk::tool::RunExpand},
};

int PrintCommands() {
  std::fprintf(stderr, "usage: launcher-tool COMMAND [ARGS]...\ncommands:");
  for (const Command& command : kCommands) std::fprintf(stderr, " %s", command.name);
  std::fprintf(stderr, "\n");
  return brisk::tool::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return PrintCommands();
  for (const Command& command : kCommands) {
    if (std::strcmp(argv[1], command.name) == 0) {
      return command.run(brisk::tool::Args(argv + 2, argv + argc));
    }
  }
  return PrintCommands();
}
