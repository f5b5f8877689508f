// Language files read from the disk, for the builder and the tools; the
// launcher itself reads its texts from its resources only.
#pragma once

#include <filesystem>

#include "text/message_table.h"

namespace brisk {

// Reads a language file in the text form into `table`; a file that is
// missing, is a folder or cannot be read changes nothing.
void LoadLanguageFile(MessageTable& table, const std::filesystem::path& path);

}  // namespace brisk
