// The launch's temporary files: the add-in, the main workbook, the
// command-line file and the auxiliary workbook, all in one private working
// folder under the system's temporary root. CleanupTempFiles
// (core/temp_cleanup_win.h) removes them again.
#pragma once

#include <string>

namespace brisk {

// The working folder (without trailing backslash) once WriteAddin has made
// it; until then whatever tempDir holds.
std::wstring GetTempDir();

// Makes the working folder and writes payload 1027 (is64) or 1025 there
// under encoded string 48. Fails for a payload of 10 bytes or less, a folder
// or file that cannot be made, or an incomplete write.
bool WriteAddin(bool is64);

// Writes the main workbook (from the external storage file or payload 1020)
// beside the add-in, named after the executable. workbookBuffer is empty
// afterwards, whatever happens.
bool WriteMainWorkbook();

// Writes the command-line file and the auxiliary workbook (payload 1018),
// opens the auxiliary workbook in the host, waits 100 ms and deletes both
// files again, also when the host call raises (the _com_error then goes on).
// A command line that is no valid UTF-16 raises before any file is written.
void WriteCommandLineAndOpenAuxWorkbook();

}  // namespace brisk
