// Language files read from the disk, for the builder and the tools; the
// launcher itself reads its texts from its resources only.
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "text/language_file.h"
#include "text/message_table.h"

namespace brisk {

// Reads a language file in the text form into `table` after the builder's
// check (CheckLanguageText). Returns why not when the file is missing, is a
// folder, cannot be read (the system's reason), is larger than 4 MiB or is
// refused, and then leaves `table` as it was; nothing on success. The
// check's warnings go to `warnings` when it is given.
std::optional<LanguageNote> LoadLanguageFile(MessageTable& table, const std::filesystem::path& path,
                                             std::vector<LanguageNote>* warnings = nullptr);

}  // namespace brisk
