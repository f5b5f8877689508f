// The temporary files on the real file system: the writers against the
// payloads of this executable (temp_files_test.rc), the host call against an
// in-process stand-in of the workbooks collection, and the clean-up of what
// the writers made.
#include "core/temp_files.h"

#include <windows.h>
#include <aclapi.h>
#include <comdef.h>
#include <sddl.h>
#include <shellapi.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/unique_handle.h"
#include "base/wide_text.h"
#include "core/temp_cleanup_win.h"
#include "core/working_folder.h"
#include "host/host_application.h"
#include "payload/build_settings.h"
#include "payload/container.h"
#include "tests/support/fake_dispatch.h"
#include "tests/support/files.h"

namespace brisk {
namespace {

using testing::ElementsAre;
using testing::SizeIs;
using testing::UnorderedElementsAre;

const std::string kAddin32 = "ADDIN-32-STAND-IN-PAYLOAD";
const std::string kResourceWorkbook = "WORKBOOK-FROM-RESOURCE";
const std::string kAuxWorkbook = "AUX-WORKBOOK";

std::string ReadBytes(const std::wstring& path) { return test::ReadFileBytes(path).value_or(""); }

bool WriteBytes(const std::wstring& path, const std::string& bytes) { return test::WriteFileBytes(path, bytes); }

bool Exists(const std::wstring& path) { return test::PathExists(path); }

std::wstring TempRoot() { return test::TempRoot() + L"\\"; }

// The names in a folder (files and folders alike), sorted.
std::vector<std::wstring> FolderContent(const std::wstring& folder) {
  std::vector<std::wstring> names;
  for (const std::wstring& entry : test::ListTree(folder)) {
    if (entry.find(L'\\') == std::wstring::npos || entry.find(L'\\') == entry.size() - 1) {
      names.push_back(entry.back() == L'\\' ? entry.substr(0, entry.size() - 1) : entry);
    }
  }
  return names;
}

// The folder's content without the working folder's marker.
std::vector<std::wstring> LaunchFilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names = FolderContent(folder);
  std::erase(names, std::wstring(L"briskrun.mark"));
  return names;
}

std::string Narrow(const std::wstring& text) { return Utf8FromWide(text); }

PayloadBuffer Bytes(const std::string& text) { return PayloadBuffer(text.begin(), text.end()); }

PayloadBuffer WithMarker(const std::string& text) {
  PayloadBuffer buffer(4 + text.size());
  const std::uint8_t marker[] = {0xEC, 0x02, 0x11, 0x57};
  std::copy(std::begin(marker), std::end(marker), buffer.begin());
  std::copy(text.begin(), text.end(), buffer.begin() + 4);
  return buffer;
}

// What the host saw when it was asked to open a workbook.
struct OpenCall {
  LCID lcid = 0;
  UINT argumentCount = 0;
  int missingArguments = 0;
  std::wstring path;
  std::vector<std::wstring> folderContent;
  std::string auxContent;
  std::string commandFileContent;
};

// The host's application object with its workbooks collection.
class FakeHost {
 public:
  FakeHost() {
    workbooks_.SetHandler(682, [this](const test::Invocation& call) -> HRESULT {
      if (call.flags != DISPATCH_METHOD) return DISP_E_MEMBERNOTFOUND;
      OpenCall open;
      open.lcid = call.locale;
      open.argumentCount = call.params->cArgs;
      for (UINT i = 0; i + 1 < call.params->cArgs; ++i) {
        const VARIANT& argument = call.params->rgvarg[i];
        if (argument.vt == VT_ERROR && argument.scode == DISP_E_PARAMNOTFOUND) ++open.missingArguments;
      }
      if (call.params->cArgs > 0 && call.params->rgvarg[call.params->cArgs - 1].vt == VT_BSTR) {
        open.path = call.params->rgvarg[call.params->cArgs - 1].bstrVal;
        const std::wstring folder = open.path.substr(0, open.path.rfind(L'\\'));
        open.folderContent = LaunchFilesIn(folder);
        open.auxContent = ReadBytes(open.path);
        open.commandFileContent = ReadBytes(folder + L"\\briskcmd.txt");
        if (holdAuxWorkbookMs > 0) HoldFile(open.path, holdAuxWorkbookMs);
      }
      opens.push_back(open);
      if (openAnswer != S_OK) return openAnswer;
      if (openReturnsNothing) return S_OK;
      workbook_.AddRef();
      call.result->vt = VT_DISPATCH;
      call.result->pdispVal = &workbook_;
      return S_OK;
    });
    application_.SetHandler(572, [this](const test::Invocation& call) -> HRESULT {
      if (!(call.flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
      if (failWorkbooks) {
        call.exception->wCode = 5;
        call.exception->bstrDescription = SysAllocString(L"no workbooks today");
        return DISP_E_EXCEPTION;
      }
      workbooks_.AddRef();
      call.result->vt = VT_DISPATCH;
      call.result->pdispVal = &workbooks_;
      return S_OK;
    });
  }
  ~FakeHost() {
    for (std::thread& holder : holders_) holder.join();
  }

  IDispatch* application() { return &application_; }
  // Every reference handed out came back.
  bool Balanced() const {
    return workbook_.references() == 1 && workbooks_.references() == 1 && application_.references() == 1;
  }

  std::vector<OpenCall> opens;
  bool failWorkbooks = false;
  bool openReturnsNothing = false;
  // What the open answers instead of a workbook, after it has opened it.
  HRESULT openAnswer = S_OK;
  // Holds the opened workbook without delete sharing for this long, as a
  // host that is slow to let it go.
  DWORD holdAuxWorkbookMs = 0;

 private:
  void HoldFile(const std::wstring& path, DWORD milliseconds) {
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    holders_.emplace_back([held, milliseconds] {
      Sleep(milliseconds);
      CloseHandle(held);
    });
  }

  test::FakeDispatch workbook_;
  test::FakeDispatch workbooks_;
  test::FakeDispatch application_;
  std::vector<std::thread> holders_;
};

class TempFilesTest : public testing::Test {
 protected:
  void SetUp() override { ResetLauncher(); }
  void TearDown() override {
    for (const std::wstring& path : made_) test::RemoveTree(path);
    ResetLauncher();
  }

  void ResetLauncher() {
    files_ = LaunchFiles{};
    exePath_ = L"C:\\Apps\\Tool.exe";
    settings_ = BuildSettings{};
    settings_.workbookFormat = '4';
    storedWorkbook_.clear();
  }

  bool WriteMainWorkbook() {
    PreparedPayload workbook =
        PrepareWorkbook((settings_.flags & kFlagExternalStorage) != 0, std::exchange(storedWorkbook_, {}));
    return brisk::WriteMainWorkbook(exePath_, settings_.workbookFormat, std::move(workbook), files_) == std::nullopt;
  }
  std::optional<LaunchFailure> OpenAuxWorkbook(IDispatch* host) {
    return WriteCommandLineAndOpenAuxWorkbook(HostApplication(host), GetCommandLineW(), files_).failure;
  }

  // WriteAddin, with the folder it made removed after the test.
  void MakeWorkingFolder() {
    ASSERT_EQ(WriteAddin(PrepareAddin(false), false, files_), std::nullopt);
    made_.push_back(files_.folder);
  }

  // A folder of the test's own, as the working folder.
  std::wstring UseFolder(const std::wstring& name) {
    const std::wstring folder = TempRoot() + name + std::to_wstring(GetCurrentProcessId());
    test::RemoveTree(folder);
    EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    made_.push_back(folder);
    files_.folder = folder;
    return folder;
  }

  std::vector<std::wstring> made_;
  LaunchFiles files_;
  std::wstring exePath_;
  BuildSettings settings_;
  PayloadBuffer storedWorkbook_;
};

TEST_F(TempFilesTest, AddinGoesIntoANewFolderOfRandomNameInTheTemporaryRoot) {
  MakeWorkingFolder();
  const std::wstring folder = files_.folder;
  const std::wstring root = TempRoot();
  ASSERT_EQ(folder.substr(0, root.size()), root);
  const std::wstring name = folder.substr(root.size());
  ASSERT_EQ(name.size(), 8u);
  EXPECT_TRUE(name[0] >= L'a' && name[0] <= L'z');
  for (std::size_t i = 0; i < name.size(); ++i) {
    EXPECT_TRUE((name[i] >= L'a' && name[i] <= L'z') || (name[i] >= L'0' && name[i] <= L'9'));
    if (i >= 2) {
      EXPECT_NE(name[i], name[i - 2]);
    }
  }
  EXPECT_EQ(files_.addinPath, folder + L"\\briskstub.dll");
  EXPECT_EQ(ReadBytes(files_.addinPath), kAddin32);
  EXPECT_THAT(LaunchFilesIn(folder), ElementsAre(L"briskstub.dll"));
  const auto marker = ParseFolderMarker(ReadBytes(folder + L"\\briskrun.mark"));
  ASSERT_TRUE(marker.has_value()) << "the folder is marked as the launcher's";
  EXPECT_EQ(marker->launcher.id, GetCurrentProcessId());
  EXPECT_FALSE(marker->host.Known());
}

TEST_F(TempFilesTest, EveryRunGetsAFolderOfItsOwn) {
  MakeWorkingFolder();
  const std::wstring first = files_.folder;
  files_ = {};  // the next run's
  MakeWorkingFolder();
  EXPECT_NE(files_.folder, first);
  EXPECT_TRUE(Exists(first));
}

std::vector<std::uint8_t> CurrentUser() {
  UniqueHandle token;
  DWORD size = 0;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<std::uint8_t> user(size);
  if (!GetTokenInformation(token.get(), TokenUser, user.data(), size, &size)) return {};
  return user;
}

// Whether the folder grants access to the current user alone. Local System
// is allowed besides: Wine keeps no file security of its own and reports an
// ACE for it on every file, with the other ACEs following the Unix mode.
::testing::AssertionResult OnlyForCurrentUser(const std::wstring& folder) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                            &descriptor) != ERROR_SUCCESS) {
    return ::testing::AssertionFailure() << "no security information";
  }
  const std::unique_ptr<void, decltype(&LocalFree)> owner(descriptor, &LocalFree);
  if (!dacl) return ::testing::AssertionFailure() << "no DACL: everybody has access";
  std::vector<std::uint8_t> user = CurrentUser();
  if (user.empty()) return ::testing::AssertionFailure() << "no user";
  const PSID userSid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
  std::uint8_t systemSid[SECURITY_MAX_SID_SIZE];
  DWORD systemSize = sizeof systemSid;
  CreateWellKnownSid(WinLocalSystemSid, nullptr, systemSid, &systemSize);
  bool userHasAll = false;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace))) return ::testing::AssertionFailure() << "unreadable ACE";
    if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    const PSID sid = &ace->SidStart;
    if (EqualSid(sid, userSid)) {
      userHasAll = userHasAll || (ace->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS;
    } else if (!EqualSid(sid, systemSid)) {
      LPWSTR text = nullptr;
      ConvertSidToStringSidW(sid, &text);
      const std::wstring name = text ? text : L"?";
      LocalFree(text);
      return ::testing::AssertionFailure() << "access granted to " << Narrow(name);
    }
  }
  if (!userHasAll) return ::testing::AssertionFailure() << "the user lacks full access";
  return ::testing::AssertionSuccess();
}

TEST_F(TempFilesTest, WorkingFolderIsForTheCurrentUserOnly) {
  MakeWorkingFolder();
  EXPECT_TRUE(OnlyForCurrentUser(files_.folder));
  // A folder made the ordinary way, beside it, is open to others.
  const std::wstring ordinary = UseFolder(L"brisk-files-ordinary-");
  EXPECT_FALSE(OnlyForCurrentUser(ordinary));
}

// A payload that keeps the add-in from being written makes no folder, and
// each is told for what it is: the build has no add-in for this host, the
// build is damaged, the memory ran out, or the worker never prepared it.
TEST_F(TempFilesTest, AddinThatCannotBeWrittenMakesNoFolderAndSaysWhy) {
  auto prepared = [](PayloadState state, std::size_t size) {
    PreparedPayload payload;
    payload.prepared = true;
    payload.state = state;
    payload.bytes.assign(size, 0x4D);
    return payload;
  };
  PreparedPayload notPrepared = prepared(PayloadState::kReady, 4096);
  notPrepared.prepared = false;
  const struct {
    const char* name;
    PreparedPayload payload;
    bool forHost64;
    LaunchFailure failure;
  } cases[] = {
      {"the build's 64-bit payload (short)", PrepareAddin(true), true, LaunchFailure::kNoAddinFor64BitHost},
      {"none for a 32-bit host", prepared(PayloadState::kMissing, 0), false, LaunchFailure::kNoAddinFor32BitHost},
      {"ten bytes", prepared(PayloadState::kReady, 10), true, LaunchFailure::kNoAddinFor64BitHost},
      {"damaged", prepared(PayloadState::kDamaged, 0), false, LaunchFailure::kBuildDamaged},
      {"out of memory", prepared(PayloadState::kOutOfMemory, 0), false, LaunchFailure::kOutOfMemory},
      {"not prepared", notPrepared, false, LaunchFailure::kPayloadNotPrepared},
  };
  const std::vector<std::wstring> before = FolderContent(TempRoot().substr(0, TempRoot().size() - 1));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    files_.folder = L"unchanged";
    EXPECT_EQ(WriteAddin(c.payload, c.forHost64, files_), std::optional<LaunchFailure>(c.failure));
    EXPECT_EQ(files_.folder, L"unchanged");
    EXPECT_TRUE(files_.addinPath.empty());
  }
  EXPECT_EQ(FolderContent(TempRoot().substr(0, TempRoot().size() - 1)), before);
}

TEST_F(TempFilesTest, MainWorkbookIsNamedAfterTheExecutable) {
  struct Case {
    std::wstring exePath;
    std::uint32_t format;
    std::vector<std::wstring> existing;
    std::wstring expected;
  };
  const std::vector<Case> cases = {
      {L"C:\\Apps\\Tool.exe", '4', {}, L"Tool.xlsx"},
      {L"C:\\Apps\\Tool.exe", '2', {}, L"Tool.xlsb"},
      {L"C:\\Apps\\Tool.exe", 'X', {}, L"Tool.xls"},
      {L"C:\\Apps\\TOOL.EXE", '4', {}, L"TOOL.xlsx"},
      {L"C:\\Apps\\TOOL.EXE", '4', {L"TOOL.xlsx", L"TOOL(1).xlsx.xls"}, L"TOOL(2).xlsx"},
      {L"C:\\Apps\\Tool", '4', {}, L"Tool"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.exePath) + " -> " + Narrow(c.expected));
    ResetLauncher();
    MakeWorkingFolder();
    for (const std::wstring& name : c.existing) ASSERT_TRUE(WriteBytes(files_.folder + L"\\" + name, "old"));
    exePath_ = c.exePath;
    settings_.workbookFormat = c.format;
    EXPECT_TRUE(WriteMainWorkbook());
    EXPECT_EQ(files_.workbookPath, files_.folder + L"\\" + c.expected);
    EXPECT_EQ(ReadBytes(files_.workbookPath), kResourceWorkbook);
    EXPECT_TRUE(storedWorkbook_.empty());
    for (const std::wstring& name : c.existing) EXPECT_EQ(ReadBytes(files_.folder + L"\\" + name), "old");
  }
}

TEST_F(TempFilesTest, WorkbookFromTheExternalStorageFile) {
  struct Case {
    const char* name;
    PayloadBuffer buffer;
    std::string expected;
  };
  // The storage file's workbook reaches the writer unpacked (it is unpacked
  // when the file is read).
  const PayloadBuffer plain = WithMarker("PACKED-STORED-WORKBOOK");
  const std::vector<Case> cases = {
      {"marked", WithMarker("STORED-WORKBOOK"), "STORED-WORKBOOK"},
      {"unpacked when the file was read", plain, "PACKED-STORED-WORKBOOK"},
      {"no marker", Bytes("PK-STORED-WORKBOOK"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetLauncher();
    UseFolder(L"brisk-files-storage-");
    settings_.flags = kFlagExternalStorage;
    storedWorkbook_ = c.buffer;
    EXPECT_TRUE(WriteMainWorkbook()) << "a payload without the marker still counts as written";
    EXPECT_TRUE(Exists(files_.workbookPath));
    EXPECT_EQ(ReadBytes(files_.workbookPath), c.expected);
    EXPECT_TRUE(storedWorkbook_.empty());
    test::RemoveTree(files_.folder);
  }
}

TEST_F(TempFilesTest, StoredWorkbookCountsOnlyInExternalStorageMode) {
  UseFolder(L"brisk-files-mode-");
  storedWorkbook_ = WithMarker("STORED-WORKBOOK");
  EXPECT_TRUE(WriteMainWorkbook());
  EXPECT_EQ(ReadBytes(files_.workbookPath), kResourceWorkbook);
}

TEST_F(TempFilesTest, NoWorkingFolderNoWorkbook) {
  for (const std::wstring& folder : {std::wstring(), TempRoot() + L"brisk-missing-folder\\x"}) {
    ResetLauncher();
    files_.folder = folder;
    EXPECT_FALSE(WriteMainWorkbook());
    EXPECT_TRUE(files_.workbookPath.empty());
    EXPECT_TRUE(storedWorkbook_.empty());
  }
}

TEST_F(TempFilesTest, AuxiliaryWorkbookIsOpenedInTheHostThenBothFilesGo) {
  MakeWorkingFolder();
  ASSERT_TRUE(WriteMainWorkbook());
  FakeHost host;
  OpenAuxWorkbook(host.application());

  ASSERT_EQ(host.opens.size(), 1u);
  const OpenCall& call = host.opens[0];
  EXPECT_EQ(call.argumentCount, 13u);
  EXPECT_EQ(call.missingArguments, 12);
  EXPECT_EQ(call.lcid, static_cast<LCID>(LOCALE_SYSTEM_DEFAULT));
  EXPECT_EQ(call.path, files_.auxWorkbookPath);
  const std::wstring folder = files_.folder + L"\\";
  ASSERT_EQ(call.path.substr(0, folder.size()), folder);
  const std::wstring auxName = call.path.substr(folder.size());
  EXPECT_EQ(auxName.size(), 12u);
  EXPECT_EQ(auxName.substr(8), L".xls");
  EXPECT_EQ(call.auxContent, kAuxWorkbook);
  EXPECT_EQ(call.commandFileContent, Utf8FromWide(GetCommandLineW()) + "\n" + Utf8FromWide(files_.workbookPath));
  EXPECT_THAT(call.folderContent, UnorderedElementsAre(auxName, L"Tool.xlsx", L"briskcmd.txt", L"briskstub.dll"));

  EXPECT_THAT(LaunchFilesIn(files_.folder), ElementsAre(L"Tool.xlsx", L"briskstub.dll"));
  EXPECT_TRUE(host.Balanced()) << "the workbook and the collection were released";
}

TEST_F(TempFilesTest, CommandFileWithoutWorkbookEndsInItsLineFeed) {
  MakeWorkingFolder();
  FakeHost host;
  OpenAuxWorkbook(host.application());
  ASSERT_EQ(host.opens.size(), 1u);
  EXPECT_EQ(host.opens[0].commandFileContent, Utf8FromWide(GetCommandLineW()) + "\n");
}

TEST_F(TempFilesTest, FailingHostCallStillRemovesBothFiles) {
  MakeWorkingFolder();
  FakeHost host;
  host.failWorkbooks = true;
  EXPECT_THROW(OpenAuxWorkbook(host.application()), _com_error);
  EXPECT_FALSE(files_.auxWorkbookPath.empty());
  EXPECT_FALSE(Exists(files_.auxWorkbookPath));
  EXPECT_THAT(LaunchFilesIn(files_.folder), ElementsAre(L"briskstub.dll"));

  // No host object at all fails the same way.
  EXPECT_THROW(OpenAuxWorkbook(nullptr), _com_error);
  EXPECT_THAT(LaunchFilesIn(files_.folder), ElementsAre(L"briskstub.dll"));
}

TEST_F(TempFilesTest, CleanupRemovesWhatTheWritersMade) {
  MakeWorkingFolder();
  ASSERT_TRUE(WriteMainWorkbook());
  const std::wstring folder = files_.folder;
  CleanupTempFiles(files_.workbookPath, files_.addinPath);
  EXPECT_FALSE(Exists(folder));
  EXPECT_TRUE(Exists(TempRoot()));
}

TEST_F(TempFilesTest, CleanupWaitsForALockedAddinThatIsFreedDuringTheRetries) {
  MakeWorkingFolder();
  ASSERT_TRUE(WriteMainWorkbook());
  const std::wstring folder = files_.folder;
  // Held as a host holds a loaded library: no delete sharing.
  HANDLE lock =
      CreateFileW(files_.addinPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  std::thread unlock([lock] {
    Sleep(300);
    CloseHandle(lock);
  });
  WindowsCleanupFileSystem fileSystem;
  CleanupTempFiles(ToU16(files_.workbookPath), ToU16(files_.addinPath), fileSystem, CleanupRetry{500, 20});
  unlock.join();
  EXPECT_FALSE(Exists(files_.addinPath));
  EXPECT_FALSE(Exists(folder));
}

TEST_F(TempFilesTest, CleanupTakesTheFolderFilesAlongButLeavesAFolderWithASubfolder) {
  MakeWorkingFolder();
  ASSERT_TRUE(WriteMainWorkbook());
  ASSERT_TRUE(WriteBytes(files_.folder + L"\\other.txt", "x"));
  ASSERT_TRUE(CreateDirectoryW((files_.folder + L"\\sub").c_str(), nullptr));
  CleanupTempFiles(files_.workbookPath, files_.addinPath);
  EXPECT_THAT(FolderContent(files_.folder), ElementsAre(L"briskrun.mark", L"sub"))
      << "what is not the launch's own keeps the folder and its marker";
}

TEST_F(TempFilesTest, CleanupNeverTouchesAFileDirectlyInTheTemporaryRoot) {
  const std::wstring root = TempRoot();
  const std::wstring addin = root + L"briskstub-root-test.dll";
  ASSERT_TRUE(WriteBytes(addin, kAddin32));
  CleanupTempFiles(std::wstring(), addin);
  EXPECT_TRUE(Exists(addin));
  EXPECT_TRUE(Exists(root));
  DeleteFileW(addin.c_str());
}

TEST_F(TempFilesTest, AuxiliaryWorkbookTheHostHoldsAWhileIsStillRemoved) {
  MakeWorkingFolder();
  FakeHost host;
  host.holdAuxWorkbookMs = 600;
  EXPECT_EQ(OpenAuxWorkbook(host.application()), std::nullopt);
  EXPECT_FALSE(Exists(files_.auxWorkbookPath));
  EXPECT_THAT(LaunchFilesIn(files_.folder), ElementsAre(L"briskstub.dll"));
}

// The workbook closes itself in its open handler, so a host may answer the
// open with nothing, an error or a disconnected object: none of it fails
// the launch, and both files still go.
TEST_F(TempFilesTest, HostThatAnswersTheOpenWithoutAWorkbookIsNoFailure) {
  for (const HRESULT answer : {S_OK, DISP_E_EXCEPTION, RPC_E_DISCONNECTED}) {
    SCOPED_TRACE(testing::Message() << std::hex << answer);
    MakeWorkingFolder();
    FakeHost host;
    host.openReturnsNothing = true;
    host.openAnswer = answer;
    const AuxWorkbookOpen opened =
        WriteCommandLineAndOpenAuxWorkbook(HostApplication(host.application()), GetCommandLineW(), files_);
    EXPECT_EQ(opened.failure, std::nullopt);
    EXPECT_EQ(opened.hostAnswer, answer);
    EXPECT_FALSE(opened.workbookReturned);
    EXPECT_THAT(host.opens, SizeIs(1));
    EXPECT_THAT(LaunchFilesIn(files_.folder), ElementsAre(L"briskstub.dll"));
    RemoveLaunchFiles(files_);
    files_ = {};
  }
}

TEST_F(TempFilesTest, RemoveLaunchFilesTakesTheWholeFolder) {
  MakeWorkingFolder();
  ASSERT_TRUE(WriteMainWorkbook());
  const std::wstring folder = files_.folder;
  RemoveLaunchFiles(files_);
  EXPECT_FALSE(Exists(folder));
}

// The temporary root in the environment for the scope, as a user whose
// profile path the ANSI code page cannot write has it.
class TemporaryRootOverride {
 public:
  explicit TemporaryRootOverride(const std::wstring& root) {
    for (const wchar_t* name : {L"TMP", L"TEMP"}) {
      wchar_t value[1024] = {};
      const DWORD length = GetEnvironmentVariableW(name, value, 1024);
      saved_.emplace_back(name, length > 0 ? std::optional<std::wstring>(value) : std::nullopt);
      SetEnvironmentVariableW(name, root.c_str());
    }
  }
  ~TemporaryRootOverride() {
    for (const auto& [name, value] : saved_) SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
  }

 private:
  std::vector<std::pair<std::wstring, std::optional<std::wstring>>> saved_;
};

TEST_F(TempFilesTest, HostGetsAnAnsiPathToAFolderWithOtherLetters) {
  const std::wstring root = TempRoot() + L"brisk-\u65E5\u672C-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
  made_.push_back(root);
  ASSERT_FALSE(RoundTripsThroughAnsi(root)) << "the test needs a code page without these letters";
  const TemporaryRootOverride temporaryRoot(root);
  MakeWorkingFolder();
  ASSERT_EQ(files_.folder.substr(0, root.size()), root);
  FakeHost host;
  EXPECT_EQ(OpenAuxWorkbook(host.application()), std::nullopt);
  ASSERT_EQ(host.opens.size(), 1u);
  const std::wstring given = host.opens[0].path;
  EXPECT_TRUE(RoundTripsThroughAnsi(given)) << Narrow(given);
  EXPECT_EQ(host.opens[0].auxContent, kAuxWorkbook) << "the short path reaches the same file";
  const std::wstring givenFolder = given.substr(0, given.rfind(L'\\'));
  EXPECT_EQ(ReadBytes(givenFolder + L"\\briskstub.dll"), kAddin32) << "the add-in lies beside it";
}

}  // namespace
}  // namespace brisk

namespace brisk {
namespace {

// The worker unpacks both add-ins, makes the marked working folder and
// writes the main workbook into it, named after the executable, while the
// host starts; the add-in is left for its own step.
TEST(PayloadPreparationTest, WorkerUnpacksAndWritesTheWorkbookAhead) {
  PayloadPreparation preparation;
  preparation.Start(true, WithMarker("STORED-WORKBOOK"), WorkbookPlacement{L"C:\\Apps\\Tool.exe", '4'});
  PreparedPayloads prepared = preparation.Take();
  EXPECT_EQ(prepared.addin32.state, PayloadState::kReady);
  EXPECT_EQ(std::string(prepared.addin32.bytes.begin(), prepared.addin32.bytes.end()), kAddin32);
  EXPECT_EQ(prepared.addin64.state, PayloadState::kReady);
  ASSERT_TRUE(prepared.workbookWritten);
  EXPECT_EQ(prepared.workbookFailure, std::nullopt);
  EXPECT_TRUE(prepared.workbook.bytes.empty()) << "the workbook's buffer outlived its write";
  ASSERT_FALSE(prepared.files.folder.empty());
  EXPECT_EQ(prepared.files.workbookPath, prepared.files.folder + L"\\Tool.xlsx");
  EXPECT_EQ(ReadBytes(prepared.files.workbookPath), "STORED-WORKBOOK");
  EXPECT_THAT(LaunchFilesIn(prepared.files.folder), ElementsAre(L"Tool.xlsx"));
  EXPECT_TRUE(Exists(prepared.files.folder + L"\\briskrun.mark"));
  EXPECT_TRUE(prepared.files.addinPath.empty());
  RemoveLaunchFiles(prepared.files);
  EXPECT_FALSE(Exists(prepared.files.folder));

  // Without external storage mode the resource's workbook is taken, and a
  // preparation that was never started prepares on the spot and leaves the
  // folder and the workbook to their steps.
  PayloadPreparation unstarted;
  const PreparedPayloads fromResource = unstarted.Take();
  EXPECT_FALSE(fromResource.workbookWritten);
  EXPECT_TRUE(fromResource.files.folder.empty());
  EXPECT_EQ(fromResource.workbook.bytes, WithMarker(kResourceWorkbook));
}

// The storage file's workbook was unpacked when the file was read (and the
// file ignored when it did not unpack): it is taken as it is, even when it
// looks like a container. Nothing counts as prepared before it was.
TEST(PayloadPreparationTest, StoredWorkbookIsTakenAsReadAndMarkedPrepared) {
  PayloadBuffer packed;
  const PayloadBuffer plain = WithMarker("PACKED");
  ASSERT_TRUE(PackContainer(plain.data(), plain.size(), packed));
  const PreparedPayload stored = PrepareWorkbook(true, packed);
  EXPECT_TRUE(stored.prepared);
  EXPECT_EQ(stored.state, PayloadState::kReady);
  EXPECT_EQ(stored.bytes, packed);
  EXPECT_FALSE(PreparedPayload{}.prepared);
  EXPECT_TRUE(PrepareAddin(false).prepared);
}

// A launch that ends before it took the results (no host, say) leaves
// nothing: the worker is joined, and the folder it made goes with the
// workbook in it.
TEST(PayloadPreparationTest, LaunchThatEndsEarlyDropsWhatWasUnpackedAndWritten) {
  const std::wstring root = TempRoot().substr(0, TempRoot().size() - 1);
  const std::vector<std::wstring> before = FolderContent(root);
  {
    PayloadPreparation preparation;
    preparation.Start(false, {}, WorkbookPlacement{L"C:\\Apps\\Tool.exe", '4'});
  }
  EXPECT_EQ(FolderContent(root), before);
}

}  // namespace
}  // namespace brisk
