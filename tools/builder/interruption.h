// What a build leaves when it is interrupted: nothing. While a build runs,
// its scratch files and its lock file are held here; when the user stops it
// (Ctrl-C, SIGINT, SIGTERM or SIGHUP; on Windows the console's Ctrl-C,
// Ctrl-Break or close), the handler ends the sign command that is running,
// removes every file held and ends the process as the interruption would
// have. The handler touches only what is held here, with calls that are
// safe inside it.
#pragma once

#include <filesystem>

namespace brisk::interruption {

// Once, before the build makes its first file.
void InstallHandlers();

// Holds a file for removal; returns its slot, or -1 when every slot is in
// use (the file is then left to the stale-file sweep of the next build).
int Hold(const std::filesystem::path& path);
// Lets go of a slot (the file was removed or moved into place).
void Release(int slot);

// The sign command that is running, ended first (its whole process group,
// so that it writes nothing after the files are removed); 0 for none. Only
// natively: under Wine and on Windows the console ends it.
void SetChild(long processId);

}  // namespace brisk::interruption
