// Naming and content rules of the launch's files in its working folder
// (working_folder.h): the main workbook, the auxiliary workbook and the
// command-line file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/working_folder.h"
#include "payload/payload_buffer.h"

namespace brisk {

// The texts that name the main workbook (encoded strings 49, 45, 46, 47).
struct WorkbookNameTexts {
  std::u16string exeSuffix;
  std::u16string extensionFormat4;
  std::u16string extensionFormat2;
  std::u16string extensionDefault;  // also the auxiliary workbook's extension
};

// Extension for BuildSettings::workbookFormat: the character '4' or '2', or
// any other value.
const std::u16string& WorkbookExtension(std::uint32_t workbookFormat, const WorkbookNameTexts& texts);

// The main workbook's path in `folder`, named after the executable: its file
// name with the executable suffix replaced by the workbook extension, then
// "(1)", "(2)", ... before the extension while that name, or that name
// followed by the default extension, exists. The suffix is looked for, last
// occurrence, in a lower-case copy of the file name only (ASCII letters; the
// suffix is ASCII), so that a folder whose name contains the suffix never
// cuts the path; the name keeps its own case. A name without the suffix is
// used as it is. Nothing when every number up to kMaxWorkbookNumber is taken.
std::optional<std::u16string> MainWorkbookPath(std::u16string_view folder, std::u16string_view exePath,
                                               std::uint32_t workbookFormat, const WorkbookNameTexts& texts,
                                               const PathCheck& exists);
constexpr int kMaxWorkbookNumber = 100000;

// The auxiliary workbook's path: folder, a random name drawn again while a
// file (no folder) of that path exists, then the extension, which is not
// part of the test. Nothing after `attempts` names that were all taken.
std::optional<std::u16string> AuxWorkbookPath(std::u16string_view folder, const NameSource& drawName,
                                              const PathCheck& isFile, std::u16string_view extension,
                                              int attempts = 1000);

// Whether the workbook payload begins with kWorkbookMarker (little-endian).
bool HasWorkbookMarker(const PayloadBuffer& buffer);

// What goes into the main workbook file: everything after the marker, or
// nothing when the payload does not begin with it.
std::span<const std::uint8_t> WorkbookFileContent(const PayloadBuffer& buffer);

// The command-line file: the command line, one line feed (0x0A), then the
// workbook path when it is not empty; both already UTF-8, no terminator and
// no byte-order mark.
std::string CommandLineFileContent(std::string_view commandLineUtf8, std::string_view workbookPathUtf8);

}  // namespace brisk
