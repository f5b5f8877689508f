// Registration of the stand-in host as the local server of the host's ProgID
// (encoded string 44), under HKEY_CLASSES_ROOT where Wine's COM looks.
#pragma once

#include <windows.h>

#include <string>

namespace brisk::standin {

// The stand-in's own class id; the ProgID points at it.
extern const CLSID kStandinHostClassId;

enum class RegistryView { kNative, k32Bit, k64Bit };

// The LocalServer32 command: the quoted executable, then `-config` and the
// quoted configuration path when one is given.
std::wstring StandinServerCommand(const std::wstring& exePath, const std::wstring& configPath);

// Writes the ProgID and class keys; a later call replaces the command.
LSTATUS RegisterStandinHost(const std::wstring& exePath, const std::wstring& configPath,
                            RegistryView view = RegistryView::kNative);
// Removes both keys; absent keys are no error.
LSTATUS UnregisterStandinHost(RegistryView view = RegistryView::kNative);

}  // namespace brisk::standin
