// The launch's failures: every stop that the user is told about, by name,
// with one table from failure to the notice text the user sees. A step
// throws LaunchFailed (a notice4user, so the one catch site shows it like
// any notice) or returns the failure for its caller to throw.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/notice4user.h"
#include "text/message_table.h"

namespace brisk {

enum class LaunchFailure {
  kSettingsDamaged,       // the settings record's validity magic is wrong
  kAlreadyRunning,        // single instance: this executable runs already
  kPasswordWrong,         // the password typed or given on the command line
  kPasswordPromptFailed,  // the prompt's window failed
  kLicenceDialogFailed,   // the licence dialog's window failed
  kBuildDamaged,          // a payload is missing, does not unpack or breaks its limits
  kHostNotCreated,        // the host application could not be started
  kAddinNotWritten,       // the working folder or one of its files could not be written
  kTempPathUnusable,      // the working folder has no path the host can load the add-in from
  kHostBuildTooOld11,     // the host's build is below the minimum of its major version
  kHostBuildTooOld12,
  kHostBuildTooOld14,
  kHostBuildTooOld15,
  kHostWindowNotFound,     // the host has no main window to hand over to
  kHostStoppedResponding,  // the user gave up a host that did not answer, or its process ended
  kAddinNotReadyInTime,    // the add-in had not reported ready when the splash reached its limit
  kNoAddinFor64BitHost,    // the build carries no add-in of the installed host's bitness
  kNoAddinFor32BitHost,
  kOutOfMemory,         // the memory ran out while the payloads were unpacked
  kPayloadNotPrepared,  // the payload worker failed before it had prepared a file
};

// The text the user is told for `failure` (UTF-8): a built-in text, or the
// build's translation of it where the message table has one.
std::string FailureNotice(LaunchFailure failure, const UserTexts& texts);

// The notice of an unexpected error (an exception of no known kind, a
// dialog whose window failed), with what is known of it after a blank line.
std::string UnexpectedErrorNotice(std::string_view what);

// The failure of the host build gate (host/host_version.h) for the encoded
// text it names; nothing when the build passes.
std::optional<LaunchFailure> HostBuildGateFailure(int gateNotice);

class LaunchFailed : public notice4user {
 public:
  LaunchFailed(LaunchFailure failure, const UserTexts& texts)
      : notice4user(FailureNotice(failure, texts)), failure_(failure) {}
  LaunchFailure failure() const { return failure_; }

 private:
  LaunchFailure failure_;
};

}  // namespace brisk
