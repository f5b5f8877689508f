// The stand-in host's automation objects: the application, its workbooks
// collection, workbooks and the language settings. Each answers the dispatch
// ids that the launcher uses, by the same kinds and types as the real host,
// DISP_E_MEMBERNOTFOUND for any other id, and logs every call it receives.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace brisk::standin {

// The class object that the server registers: it hands out the one
// application object of this process.
IClassFactory* GetClassFactory();

}  // namespace brisk::standin
