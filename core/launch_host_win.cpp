#include "core/launch_host.h"

#include <windows.h>
#include <shellapi.h>

#include <utility>

#include "core/launcher_state.h"
#include "core/notice4user.h"
#include "core/temp_cleanup_win.h"
#include "core/wide_text.h"
#include "payload/container.h"
#include "payload/encoded_strings.h"
#include "payload/payload_resource.h"
#include "text/byte_reader.h"

namespace brisk {

namespace {

constexpr int kSettingsResource = 1100;
constexpr int kMessageTableResource = 1035;

void RefreshMacros() {
  if (gLauncher.macroTable) gLauncher.macroTable->Refresh();
}

void LoadMessageTable() {
  PayloadBuffer table;
  if (!LoadAndUnpackPayload(kMessageTableResource, table) || table.empty()) return;
  if (!gLauncher.messageTable) return;
  ByteReader reader(table.data(), table.size());
  gLauncher.messageTable->LoadFromResource(reader);
}

// A second start of the same executable finds the mutex named after its path.
void CheckSingleInstance() {
  if (!(gLauncher.settings.flags & kFlagSingleInstance)) return;
  std::wstring name = gLauncher.exePath;
  for (wchar_t& c : name) {
    if (c == L'\\') c = L'_';
  }
  gLauncher.instanceMutex.reset(CreateMutexW(nullptr, TRUE, name.c_str()));
  if (GetLastError() != ERROR_ALREADY_EXISTS) return;
  std::string text = GetMessageTextA(kAppAlreadyStarted, kAppAlreadyStartedDefault);
  for (std::size_t pos = 0; (pos = text.find("\\n", pos)) != std::string::npos; ++pos) {
    text.replace(pos, 2, "\n");
  }
  throw notice4user(text);
}

void ExtractExecutableIcons() {
  if (gLauncher.testMode) return;
  HICON large = nullptr;
  HICON small = nullptr;
  ExtractIconExW(gLauncher.exePath.c_str(), 0, &large, &small, 1);
  gLauncher.largeIcon.reset(large);
  gLauncher.smallIcon.reset(small);
}

void PrepareSettingsAndTexts() {
  LoadBuildSettings();
  RefreshMacros();
  LoadMessageTable();
  CheckSingleInstance();
  RefreshMacros();
  ExtractExecutableIcons();
}

void CheckSettingsMagic() {
  if (gLauncher.settings.magic != kSettingsMagic) {
    throw notice4user(GetEncodedStringA(kSettingsMagicWrong));
  }
}

void ReleaseHostReference() {
  if (IDispatch* host = std::exchange(gLauncher.host, nullptr)) host->Release();
}

}  // namespace

void LoadBuildSettings() {
  LoadPayloadResource(kSettingsResource, gLauncher.rawRecord);
  ParseBuildSettings(gLauncher.rawRecord, gLauncher.settings);
  if (gLauncher.settings.flags & kFlagExternalStorage) {
    LoadExternalStorage(ExternalStoragePath(gLauncher.exePath), gLauncher.settings,
                        gLauncher.rawRecord, gLauncher.workbookBuffer);
  }
}

bool LaunchHost() {
  gLauncher.aborted = false;
  bool result = false;
  try {
    PrepareSettingsAndTexts();
    CheckSettingsMagic();
  } catch (const notice4user&) {
    gLauncher.aborted = true;
    throw;
  } catch (...) {
    result = true;
  }

  try {
    gLauncher.aborted = result;
    ReleaseLaunchResources();
  } catch (...) {
  }
  return true;
}

void ReleaseLaunchResources() {
  gMacroTable = nullptr;
  gMessageTable = nullptr;
  gLauncher.macroTable.reset();
  gLauncher.messageTable.reset();
  gLauncher.largeIcon.reset();
  gLauncher.smallIcon.reset();
  ReleaseHostReference();
  if (gLauncher.aborted) {
    if (gLauncher.hostWindow) PostMessageW(gLauncher.hostWindow, WM_QUIT, 0, 0);
    CleanupTempFiles(gLauncher.workbookPath, gLauncher.addinPath);
  }
}

}  // namespace brisk
