// The messages and expand subcommands of launcher-tool, run as a process.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "resource_builder.h"

namespace brisk {
namespace {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

class TextCli : public testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    folder_ = std::filesystem::temp_directory_path() /
              ("brisk_text_cli_" + std::to_string(random()) + "_" + std::to_string(random()));
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code error;
    std::filesystem::remove_all(folder_, error);
  }

  std::string Write(const std::string& name, std::string_view bytes) {
    std::filesystem::path path = folder_ / name;
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  // Arguments are quoted for the shell, except the raw ones (already shell text).
  ToolRun Tool(const std::vector<std::string>& args, const std::string& raw = {}) {
    std::string errPath = (folder_ / "stderr.txt").string();
    std::string command = Quote(BRISK_LAUNCHER_TOOL);
    for (const std::string& arg : args) command += " " + Quote(arg);
    command += " " + raw + " 2>" + Quote(errPath);
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, got);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errPath, std::ios::binary);
    run.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    return run;
  }

  std::filesystem::path folder_;
};

TEST_F(TextCli, MessagesPrintsTheResourceSlotsInOrder) {
  test::ResourceBuilder resource;
  resource.Header(4)
      .Entry(41, "Already \"running\"\\n")
      .Entry(3, "OK")
      .Entry(0xFFFFFFFF,
             "Gr\xC3\xBC\xC3\x9F"
             "e\t")
      .Entry(11, "");
  std::string file = Write(
      "table.bin", std::string_view(reinterpret_cast<const char*>(resource.Data().data()), resource.Data().size()));
  ToolRun run = Tool({"messages", file});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "{\n"
            "  \"-1\": \"Gr\\u00C3\\u00BC\\u00C3\\u009Fe\\u0009\",\n"
            "  \"3\": \"OK\",\n"
            "  \"41\": \"Already \\u0022running\\u0022\\u005Cn\"\n"
            "}\n");
}

TEST_F(TextCli, MessagesWithoutEntriesPrintsAnEmptyObject) {
  ToolRun run = Tool({"messages", Write("one.bin", "1")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "{}\n");
}

TEST_F(TextCli, MessagesReadsTheTextForm) {
  std::string file = Write("lang.ini", "[content]\r\nEULA_TITLE =no\r\nEULA_TITLE=  Licence\r\nOK_BTN_TITLE=Ja\r\n");
  ToolRun run = Tool({"messages", "--text-form", file});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "{\n  \"3\": \"Ja\",\n  \"11\": \"Licence\"\n}\n");
  // The entry the launcher passes over is named as the builder names it.
  EXPECT_EQ(run.err, file +
                         ":2: warning: 'EULA_TITLE ' is not EULA_TITLE: a blank before '=' makes another key (write "
                         "EULA_TITLE=...); the launcher ignores it\n");
  EXPECT_EQ(Tool({"messages", file, "--text-form"}).out, run.out);
}

TEST_F(TextCli, MessagesTakesTheTextFormAsTheBuilderDoes) {
  ToolRun run = Tool({"messages", "--text-form", Write("bom.ini", "\xEF\xBB\xBF[content]\nOK_BTN_TITLE=Ja\n")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "{\n  \"3\": \"Ja\"\n}\n");

  const std::string utf16 = Write("utf16.ini", std::string("\xFF\xFE[\0c\0", 6));
  run = Tool({"messages", "--text-form", utf16});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, utf16 + ": error: the file is UTF-16; save it as UTF-8\n");
}

TEST_F(TextCli, MessagesRefusesAMissingFile) {
  for (bool textForm : {false, true}) {
    std::vector<std::string> args = {"messages", (folder_ / "missing.bin").string()};
    if (textForm) args.push_back("--text-form");
    ToolRun run = Tool(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.starts_with("launcher-tool: ")) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  EXPECT_EQ(Tool({"messages", folder_.string()}).status, 1);
}

TEST_F(TextCli, MessagesUsageErrors) {
  std::string file = Write("one.bin", "1");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"messages"}, {"messages", file, file}, {"messages", "--text", file}, {"messages", "--text-form"}}) {
    ToolRun run = Tool(args);
    EXPECT_EQ(run.status, 2) << args.size();
    EXPECT_TRUE(run.err.starts_with("usage: launcher-tool messages")) << run.err;
  }
}

TEST_F(TextCli, ExpandSetsMacrosAndExpandsOnce) {
  ToolRun run = Tool({"expand", "--macro", "APPNAME=Caf\xC3\xA9", "--macro", "APPVER=<?APPNAME?>", "--macro", "EQ=a=b",
                      "<?APPNAME?> <?APPVER?> <?EQ?> <?appname?> <?"
                      "?> <?> <?APPNAME"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "Caf\xC3\xA9 <?APPNAME?> a=b <?appname?> <?"
            "?> <?> <?APPNAME\n");
}

TEST_F(TextCli, ExpandLaterMacroWinsAndEmptyValueCounts) {
  ToolRun run = Tool({"expand", "--macro", "X=1", "--macro", "X=2", "--macro", "E=", "[<?X?>|<?E?>]"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "[2|]\n");
}

TEST_F(TextCli, ExpandTextAfterDoubleDash) {
  ToolRun run = Tool({"expand", "--macro", "N=v", "--", "--<?N?>"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "--v\n");
}

TEST_F(TextCli, ExpandUsageErrors) {
  for (const auto& args : std::vector<std::vector<std::string>>{{"expand"},
                                                                {"expand", "a", "b"},
                                                                {"expand", "--macro", "NOEQUALS", "t"},
                                                                {"expand", "t", "--macro"},
                                                                {"expand", "--other", "t"}}) {
    ToolRun run = Tool(args);
    EXPECT_EQ(run.status, 2) << args.size();
    EXPECT_TRUE(run.err.starts_with("usage: launcher-tool expand")) << run.err;
  }
}

TEST_F(TextCli, ExpandRefusesInvalidUtf8) {
  ToolRun run = Tool({"expand"}, "\"$(printf 'a\\377b')\"");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.err.starts_with("launcher-tool: ")) << run.err;
  run = Tool({"expand", "--macro"}, "\"$(printf 'N=\\377')\" x");
  EXPECT_EQ(run.status, 1);
}

}  // namespace
}  // namespace brisk
