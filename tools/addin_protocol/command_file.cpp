#include "tools/addin_protocol/command_file.h"

namespace brisk::addin {

CommandFileContent SplitCommandFile(std::string_view bytes) {
  CommandFileContent content;
  const std::size_t lineFeed = bytes.rfind('\n');
  if (lineFeed == std::string_view::npos) {
    content.commandLine = bytes;
    return content;
  }
  content.lineFeed = true;
  content.commandLine = bytes.substr(0, lineFeed);
  content.workbookPath = bytes.substr(lineFeed + 1);
  return content;
}

}  // namespace brisk::addin
