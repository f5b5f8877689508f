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

// One entry per command: a new command is a line here and its Run function
// (commands.h).
struct Command {
  const char* name;
  const char* summary;
  int (*run)(const brisk::tool::Args&);
};

constexpr Command kCommands[] = {
    {"build", "make an application build from a manifest", brisk::tool::RunBuild},
    {"show", "what a build carries, and whether the launcher can use it (exit 1: damaged)", brisk::tool::RunShow},
    {"pack", "pack a file into a payload container", brisk::tool::RunPack},
    {"unpack", "unpack a payload container", brisk::tool::RunUnpack},
    {"encode", "encode a text as the launcher stores its texts", brisk::tool::RunEncode},
    {"decode", "decode an encoded text (hexadecimal bytes)", brisk::tool::RunDecode},
    {"strings", "the launcher's built-in texts", brisk::tool::RunStrings},
    {"settings", "a build settings record as the launcher reads it", brisk::tool::RunSettings},
    {"messages", "a message table, or a language file in the text form", brisk::tool::RunMessages},
    {"expand", "a text with its macros expanded", brisk::tool::RunExpand},
};

int PrintCommands() {
  std::fprintf(stderr, "usage: launcher-tool COMMAND [ARGS]...\ncommands:\n");
  for (const Command& command : kCommands) std::fprintf(stderr, "  %-9s %s\n", command.name, command.summary);
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
