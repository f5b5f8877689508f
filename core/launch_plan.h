// What a launch shows, checks and waits for, decided once from the command
// line, the build settings and the splash inputs. Every step of the launch
// reads its part of the plan instead of asking the options or the settings
// again; the host's major version adds its own rules (host/host_version.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/command_line.h"
#include "payload/build_settings.h"
#include "ui/splash_inputs.h"

namespace brisk {

enum class LicenceStep {
  kSkipped,   // the hexadecimal option: the licence is not even read
  kReadOnly,  // test mode: read (a damaged one still ends the launch), never shown
  kShown,     // read, checked against the dialog's limits and shown for agreement
};

enum class FinalVisibility {
  kHiddenWithoutAlerts,  // the hexadecimal option: the host stays hidden and silent
  kHidden,               // settings bit 0x40 or test mode
  kShown,                // made visible, unless its version keeps its own
};

// How long a call to the host or a message to its window may go unanswered
// before the user is asked whether to wait on (host/host_wait_win.h).
inline constexpr std::uint32_t kHostSilenceLimitMs = 30000;

// The test seam of that limit: a launch in test mode takes the limit that
// the entry point read from the environment variable BRISK_HOST_SILENCE_MS,
// kept between these bounds, so that scenarios of the waiting rule need not
// wait 30 s for each question. It can only make the question come sooner,
// and no other launch reads it.
inline constexpr std::uint32_t kShortestHostSilenceLimitMs = 1000;
inline constexpr wchar_t kHostSilenceLimitVariable[] = L"BRISK_HOST_SILENCE_MS";

// The milliseconds of the variable's value: decimal digits only, else 0.
std::uint32_t ParseHostSilenceLimitSetting(std::u16string_view text);

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
  std::uint32_t hostSilenceLimitMs = kHostSilenceLimitMs;
};

LaunchPlan PlanLaunch(const LaunchOptions& options, const BuildSettings& settings, const SplashInputs& splashInputs);

}  // namespace brisk
