// The stand-in add-in as its callers see it. The auxiliary workbook's open
// handler loads it and calls DummyFunc9(1170, application, 0); the launcher
// itself calls nothing in it.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace brisk::addin {

// DummyFunc9: subclasses the host's main windows when code is 1170 and
// returns 1 when it found at least one, else 0.
using DummyFunc9Proc = LONG(WINAPI*)(LONG code, IDispatch* application, LONG_PTR reserved);

// The configuration file that the add-in looks for beside itself (its own
// file name with this extension) before it reads the path embedded in its
// image (tools/addin_protocol/embedded_config.h).
inline constexpr wchar_t kConfigExtension[] = L".json";

}  // namespace brisk::addin
