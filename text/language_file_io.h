// Language files read from the disk, for the builder and the tools; the
// launcher itself reads its texts from its resources only.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "text/message_table.h"

namespace brisk {

// Reads a language file in the text form into `table` after the builder's
// check (CheckLanguageText). Returns the reason when the file is missing,
// is a folder, cannot be read, is larger than 4 MiB or is refused ("line N: ..."), and then
// leaves `table` as it was; empty on success. The check's warnings about
// lines the launcher ignores go to `warnings` when it is given.
std::string LoadLanguageFile(MessageTable& table, const std::filesystem::path& path,
                             std::vector<std::string>* warnings = nullptr);

}  // namespace brisk
