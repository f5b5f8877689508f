// The paths of one launch's files, all in one private working folder under
// the system's temporary root.
#pragma once

#include <string>

namespace brisk {

// Each path is empty until its file is made.
struct LaunchFiles {
  std::wstring folder;  // the working folder, without trailing backslash
  std::wstring addinPath;
  std::wstring workbookPath;
  std::wstring auxWorkbookPath;
};

}  // namespace brisk
