// messages and expand: the message table and the text macros.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <utf8.h>

#include "commands.h"
#include "json_writer.h"
#include "tool_files.h"
#include "text/byte_reader.h"
#include "text/macro_table.h"
#include "text/language_file.h"
#include "text/message_table.h"

namespace brisk::tool {

namespace {

constexpr const char* kMessagesUsage = "messages FILE [--text-form]";
constexpr const char* kExpandUsage = "expand [--macro NAME=VALUE]... TEXT";

void PrintTexts(const MessageTable::TextMap& texts) {
  std::vector<std::string> members;
  for (const auto& [slot, text] : texts) {
    members.push_back(Member(std::to_string(static_cast<int>(slot)), JsonBytes(text)));
  }
  PrintObject(members);
}

bool ToUtf16(const std::string& utf8, std::u16string& out) {
  if (!utf8::is_valid(utf8.begin(), utf8.end())) return false;
  out.clear();
  utf8::utf8to16(utf8.begin(), utf8.end(), std::back_inserter(out));
  return true;
}

}  // namespace

int RunMessages(const Args& args) {
  bool textForm = false;
  std::vector<std::string> files;
  for (const std::string& arg : args) {
    if (arg == "--text-form") {
      textForm = true;
    } else if (arg.starts_with("--")) {
      return Usage(kMessagesUsage);
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 1) return Usage(kMessagesUsage);

  PayloadBuffer bytes;
  if (!ReadWholeFile(files.front(), bytes)) return Refuse("cannot read " + files.front());
  MessageTable table;
  if (textForm) {
    // As the builder takes it: a file it refuses is refused here too, and
    // the lines it warns about are named.
    const LanguageTextCheck check =
        CheckLanguageText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    const auto print = [&](const LanguageNote& note, const char* severity) {
      const std::string line = note.line ? ":" + std::to_string(note.line) : std::string();
      std::fprintf(stderr, "%s%s: %s: %s\n", files.front().c_str(), line.c_str(), severity, note.message.c_str());
    };
    if (check.error) {
      print(*check.error, "error");
      return kExitRefused;
    }
    for (const LanguageNote& warning : check.warnings) print(warning, "warning");
    table.LoadFromLanguageText(check.text);
  } else {
    ByteReader reader(bytes.data(), bytes.size());
    table.LoadFromResource(reader);
  }
  PrintTexts(table.Texts());
  return kExitOk;
}

int RunExpand(const Args& args) {
  MacroTable macros;
  std::vector<std::string> texts;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || !arg.starts_with("--")) {
      texts.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--macro" && i + 1 < args.size()) {
      const std::string& definition = args[++i];
      std::size_t equals = definition.find('=');
      if (equals == std::string::npos) return Usage(kExpandUsage);
      std::u16string name;
      std::u16string value;
      if (!ToUtf16(definition.substr(0, equals), name) || !ToUtf16(definition.substr(equals + 1), value)) {
        return Refuse("a macro name or value is not valid UTF-8");
      }
      macros.SetMacro(std::move(name), std::move(value));
    } else {
      return Usage(kExpandUsage);
    }
  }
  if (texts.size() != 1) return Usage(kExpandUsage);

  std::u16string text;
  if (!ToUtf16(texts.front(), text)) return Refuse("text is not valid UTF-8");
  std::u16string expanded = macros.ExpandW(text);
  std::string out;
  utf8::utf16to8(expanded.begin(), expanded.end(), std::back_inserter(out));
  out.push_back('\n');
  std::fwrite(out.data(), 1, out.size(), stdout);
  return kExitOk;
}

}  // namespace brisk::tool
