// The host executable's file version, read from the fixture executables,
// and the version gate over it.
#include <gtest/gtest.h>

#include "host/host_application.h"
#include "host/host_version.h"
#include "tests/support/fake_dispatch.h"
#include "tests/support/files.h"

namespace brisk {
namespace {

std::wstring FixtureFolder(const std::wstring& name) {
  return test::WinePath(BRISK_STANDIN_FIXTURES_DIR) + L"\\" + name;
}

TEST(HostFileVersion, FixtureExecutablesReportTheirVersions) {
  const struct {
    const wchar_t* folder;
    HostFileVersion version;
    int notice;
  } cases[] = {
      {L"11.0.8172.0", {11, 0, 8172, 0}, 57}, {L"11.0.8173.0", {11, 0, 8173, 0}, 0},
      {L"12.0.6606.0", {12, 0, 6606, 0}, 58}, {L"12.0.6607.0", {12, 0, 6607, 0}, 0},
      {L"13.0.1.0", {13, 0, 1, 0}, 0},        {L"14.0.7015.0", {14, 0, 7015, 0}, 0},
      {L"15.0.4568.0", {15, 0, 4568, 0}, 60}, {L"15.0.4569.0", {15, 0, 4569, 0}, 0},
      {L"16.0.1.0", {16, 0, 1, 0}, 0},
  };
  for (const auto& c : cases) {
    const HostFileVersion read = GetHostFileVersion(FixtureFolder(c.folder) + L"\\EXCEL.EXE");
    EXPECT_EQ(read, c.version) << static_cast<const void*>(c.folder) << ": " << read.major << "." << read.minor << "."
                               << read.build << "." << read.revision;
    EXPECT_EQ(HostBuildGateNotice(read), c.notice) << read.major << "." << read.build;
  }
}

TEST(HostFileVersion, NoVersionInformationGivesZero) {
  test::TempFolder folder;
  ASSERT_TRUE(test::WriteFileBytes(folder / L"EXCEL.EXE", "not a program"));
  const HostFileVersion zero{};
  EXPECT_EQ(GetHostFileVersion(FixtureFolder(L"no_version") + L"\\EXCEL.EXE"), zero);
  EXPECT_EQ(GetHostFileVersion(folder / L"EXCEL.EXE"), zero);
  EXPECT_EQ(GetHostFileVersion(folder / L"absent.exe"), zero);
  EXPECT_EQ(GetHostFileVersion(L""), zero);
}

TEST(HostFileVersion, InstallationCheckFollowsTheInstallPath) {
  test::TempFolder empty;
  test::TempFolder withFolder;
  ASSERT_TRUE(CreateDirectoryW((withFolder / L"EXCEL.EXE").c_str(), nullptr));
  const HostFileVersion zero{};
  const HostFileVersion v15{15, 0, 4568, 0};
  const struct {
    std::wstring installPath;
    HostFileVersion expected;
  } cases[] = {
      {FixtureFolder(L"15.0.4568.0"), v15},
      {FixtureFolder(L"15.0.4568.0") + L"\\", v15},
      {FixtureFolder(L"no_version"), zero},
      {FixtureFolder(L"absent"), zero},
      {empty.path(), zero},
      {withFolder.path(), zero},
      {FixtureFolder(L"15.0.4568.0") + L"\\EXCEL.EXE", zero},
      {L"", zero},
      {L"\\", zero},
  };
  for (const auto& c : cases) {
    test::FakeDispatch application;
    application.SetText(kDispInstallPath, c.installPath.c_str());
    EXPECT_EQ(HostApplication(&application).GetInstalledHostFileVersion(), c.expected)
        << std::string(c.installPath.begin(), c.installPath.end());
  }
}

}  // namespace
}  // namespace brisk
