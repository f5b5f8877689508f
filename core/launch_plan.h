// What a launch shows, checks and waits for, decided once from the command
// line, the build settings and the splash inputs. Every step of the launch
// reads its part of the plan instead of asking the options or the settings
// again; the host's major version adds its own rules (host/host_version.h).
#pragma once

#include <cstddef>

#include "core/command_line.h"
#include "payload/build_settings.h"
#include "ui/splash_inputs.h"

namespace brisk {

enum class LicenceStep {
  kSkipped,  // the hexadecimal option: the licence is not even read
  kReadOnly, // test mode: read (a damaged one still ends the launch), never shown
  kShown,    // read, checked against the dialog's limits and shown for agreement
};

enum class FinalVisibility {
  kHiddenWithoutAlerts,  // the hexadecimal option: the host stays hidden and silent
  kHidden,               // settings bit 0x40 or test mode
  kShown,                // made visible, unless its version keeps its own
};

struct LaunchPlan {
  // The executable's icon for the dialogs and the host's window.
  bool useExecutableIcons = true;
  LicenceStep licence = LicenceStep::kShown;
  // The most bytes the licence payload may hold before the build counts as
  // damaged (unlimited where the dialog's limits do not apply).
  std::size_t licenceLimit = static_cast<std::size_t>(-1);
  // The licence dialog without its branding line.
  bool hideLicenceBranding = false;
  bool startSplash = true;
  // The splash stays up for its minimum time after a hand-over.
  bool keepSplashMinimumTime = true;
  // Settings bit 0x80: hosts too old for the build are refused.
  bool refuseVeryOldHost = false;
  bool refuseNewFormatOnOldHost = false;
  FinalVisibility finalVisibility = FinalVisibility::kShown;
};

LaunchPlan PlanLaunch(const LaunchOptions& options, const BuildSettings& settings, const SplashInputs& splashInputs);

}  // namespace brisk
