// The user-interface tests run on a thread of a single-threaded apartment
// with GDI+ started and the rich edit library loaded, as in the launcher.
#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include "ui/my_rich_edit_ctrl.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Gdiplus::GdiplusStartupInput gdiplusInput;
  ULONG_PTR gdiplusToken = 0;
  Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
  brisk::EnsureRichEditLibrary();
  const int result = RUN_ALL_TESTS();
  Gdiplus::GdiplusShutdown(gdiplusToken);
  CoUninitialize();
  return result;
}
