// Opening a workbook file: the project's auxiliary workbook runs its open
// handler, which makes the first contact with the add-in.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>

namespace brisk::standin {

enum class WorkbookKind { kMissing, kAuxiliary, kOrdinary };

WorkbookKind ReadWorkbookKind(const std::wstring& path);

// What the auxiliary workbook's open handler does: loads "<the workbook's
// folder>\briskstub.dll" with LoadLibraryA, calls its DummyFunc9 with 1170,
// the application object and 0, and ignores every error. The library stays
// loaded. Each step is logged.
void RunAuxWorkbookOpenHandler(const std::wstring& workbookPath, IDispatch* application);

}  // namespace brisk::standin
