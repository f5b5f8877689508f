#include "core/launcher_state.h"

#include <objbase.h>

#include <cstdlib>
#include <ctime>

#include "core/launch_host.h"
#include "base/wide_text.h"
#include "text/macro_environment_win.h"

namespace brisk {

LauncherState gLauncher;

namespace {

MacroAppValues CurrentAppValues() {
  return MacroAppValues{gLauncher.settings.appName, gLauncher.settings.appInfo,
                        gLauncher.settings.appVersion, ToU16(gLauncher.exeDir)};
}

}  // namespace

void SeedRandomGenerator() {
  std::srand(static_cast<unsigned>(std::time(nullptr)) ^ static_cast<unsigned>(std::clock()));
}

LauncherState::LauncherState()
    : macroEnvironment(std::make_unique<WinMacroEnvironment>(CurrentAppValues)),
      macroTable(std::make_unique<MacroTable>(macroEnvironment.get())),
      messageTable(std::make_unique<MessageTable>()) {
  CoInitialize(nullptr);
  SeedRandomGenerator();
}

LauncherState::~LauncherState() {
  try {
    ReleaseLaunchResources();
  } catch (...) {
  }
  // Waiters may still be blocked on their events; the process exit ends them.
  if (closeWaiter && closeWaiter->joinable()) closeWaiter->detach();
  if (readyWaiter && readyWaiter->joinable()) readyWaiter->detach();
  CoUninitialize();
}

}  // namespace brisk
