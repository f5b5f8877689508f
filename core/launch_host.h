// The launch sequence: from the build settings to the hand-over.
#pragma once

namespace brisk {

// Runs the launch once. Returns true when it ends normally or ends early
// (a dialog cancelled); a notice4user leaves it as an exception.
bool LaunchHost();

// The final release; safe to call more than once. After an aborted launch
// it closes the host and deletes the temporary files.
void ReleaseLaunchResources();

// Payload resource 1100 into rawRecord, parsed into the settings; in
// external storage mode the file next to the executable may replace both.
void LoadBuildSettings();

}  // namespace brisk
