// The stand-in host's process-wide state. Everything runs on the one thread
// of the single-threaded apartment, so nothing here is locked.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>
#include <vector>

#include "standin_config.h"
#include "tools/json/json_io.h"

namespace brisk::standin {

class CallLog {
 public:
  // Appends one line; the file is opened for each line, so that a test can
  // read it at any time and a crash loses nothing written before.
  void Write(const std::string& line) const;
  void SetPath(std::wstring path) { path_ = std::move(path); }

 private:
  std::wstring path_;
};

struct OpenWorkbookEntry {
  std::wstring path;
};

struct StandinState {
  StandinConfig config;
  CallLog log;
  long long nextSequence = 1;

  HWND mainWindow = nullptr;
  std::vector<HWND> extraWindows;
  HWND otherWindow = nullptr;

  // Properties of the application object.
  std::wstring caption;
  bool displayAlerts = true;
  bool userControl = false;
  std::int32_t int1209 = 0;
  std::int32_t int2788 = 0;

  std::vector<OpenWorkbookEntry> workbooks;
  // The application object while it exists (not owned: it deletes itself).
  IDispatch* application = nullptr;
  // The workbooks collection, made with the application and owned here.
  IDispatch* workbooksCollection = nullptr;
  // Whether a client has asked for the application object.
  bool served = false;
};

extern StandinState gStandin;

// A log record that starts with the next sequence number and `kind` ("call"
// or "event"); its members follow in the order they are set.
json::Json NewRecord(std::string_view kind);
void Log(const json::Json& record);
// UTF-16 text as the log holds it: UTF-8, an unpaired surrogate as U+FFFD.
std::string LogText(std::wstring_view text);
std::wstring ToWide(const std::u16string& text);

// A host started by COM for a client that has gone elsewhere (two clients
// started at once, each starting a host, one host serving both) ends after
// this long without a client, instead of running for ever.
constexpr UINT kIdleExitMs = 30000;

}  // namespace brisk::standin
