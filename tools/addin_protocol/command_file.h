// Reading the command-line file that the launcher leaves beside the add-in:
// the command line in UTF-8, one line feed, then the main workbook's path.
#pragma once

#include <string>
#include <string_view>

namespace brisk::addin {

struct CommandFileContent {
  std::string commandLine;
  std::string workbookPath;  // empty when the launcher wrote none
  bool lineFeed = false;     // false: the file lacks its line feed
};

// Splits at the last line feed: a file name cannot hold one, while a command
// line may.
CommandFileContent SplitCommandFile(std::string_view bytes);

}  // namespace brisk::addin
