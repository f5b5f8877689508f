// launcher-tool: the launcher's own formats and rules, on the command line.
#include <cstdio>
#include <string>

#include "commands.h"

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <utf8.h>
#endif

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
    {"build", brisk::tool::RunBuild},       {"show", brisk::tool::RunShow},
};

int PrintCommands() {
  std::fprintf(stderr, "usage: launcher-tool COMMAND [ARGS]...\ncommands:");
  for (const Command& command : kCommands) std::fprintf(stderr, " %s", command.name);
  std::fprintf(stderr, "\n");
  return brisk::tool::kExitUsage;
}

}  // namespace

namespace {

// The arguments after the program name, as UTF-8.
brisk::tool::Args Utf8Arguments(int argc, char** argv) {
#ifdef _WIN32
  // The narrow argv is in the ANSI code page; the wide command line is exact.
  (void)argc;
  (void)argv;
  brisk::tool::Args args;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 1; wide && i < count; ++i) {
    args.push_back(utf8::utf16to8(std::u16string_view(reinterpret_cast<const char16_t*>(wide[i]))));
  }
  LocalFree(wide);
  // Output is bytes: a line feed stays one byte.
  _setmode(_fileno(stdout), _O_BINARY);
  return args;
#else
  return brisk::tool::Args(argv + 1, argv + argc);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  const brisk::tool::Args args = Utf8Arguments(argc, argv);
  if (args.empty()) return PrintCommands();
  for (const Command& command : kCommands) {
    if (args[0] == command.name) {
      return command.run(brisk::tool::Args(args.begin() + 1, args.end()));
    }
  }
  return PrintCommands();
}
