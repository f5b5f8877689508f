// Test entry for the Windows-side host tests: the main thread joins a
// single-threaded apartment, as the launcher's does.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (FAILED(CoInitialize(nullptr))) return 2;
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  return result;
}
