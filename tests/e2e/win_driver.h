// What the end-to-end scenarios need of Windows: the shared test support
// (files and folders, the windows of a process and their texts, processes
// started with their own environment, the list of running processes), and
// what a user does with the launcher's windows.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "tests/support/files.h"
#include "tests/support/process_windows.h"
#include "tests/support/processes.h"

namespace brisk::e2e {

using test::ChildOptions;
using test::ChildProcess;
using test::ClassName;
using test::EndProcessById;
using test::EqualNoCase;
using test::ItemText;
using test::ListTree;
using test::PathExists;
using test::PressButton;
using test::ProcessInfo;
using test::ReadFileBytes;
using test::RemoveTree;
using test::RunningProcesses;
using test::TempFolder;
using test::TempRoot;
using test::TopLevelWindows;
using test::WaitForProcessExit;
using test::WindowInfo;
using test::WindowText;
using test::WinePath;
using test::WriteFileBytes;

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// What a user does with a field: types into it.
void TypeInto(HWND field, std::wstring_view text);
// A left click into the window, and a key pressed while it has the focus.
void ClickWindow(HWND window);
void PressKey(HWND window, WORD virtualKey);
// Sets a named event of another process; false when it does not exist.
bool SignalNamedEvent(const std::wstring& name);
// The first child window of a class, or null.
HWND FindChild(HWND parent, std::wstring_view className);

}  // namespace brisk::e2e
