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
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/temp_cleanup_win.h"
#include "base/unique_handle.h"
#include "base/wide_text.h"
#include "host/host_application.h"
#include "payload/build_settings.h"
#include "payload/container.h"

namespace brisk {
namespace {

using testing::ElementsAre;
using testing::UnorderedElementsAre;

const std::string kAddin32 = "ADDIN-32-STAND-IN-PAYLOAD";
const std::string kResourceWorkbook = "WORKBOOK-FROM-RESOURCE";
const std::string kAuxWorkbook = "AUX-WORKBOOK";

std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary);
  out << bytes;
  return static_cast<bool>(out.flush());
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring TempRoot() {
  wchar_t root[1024] = {};
  GetTempPathW(1024, root);
  return root;
}

std::vector<std::wstring> FolderContent(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTree(const std::wstring& path) {
  if (path.empty() || !Exists(path)) return;
  std::wstring from = path + L'\0';
  SHFILEOPSTRUCTW operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationW(&operation);
}

std::string Narrow(const std::wstring& text) {
  return Utf8FromWide(text);
}

PayloadBuffer Bytes(const std::string& text) {
  return PayloadBuffer(text.begin(), text.end());
}

PayloadBuffer WithMarker(const std::string& text) {
  PayloadBuffer buffer(4 + text.size());
  const std::uint8_t marker[] = {0xEC, 0x02, 0x11, 0x57};
  std::copy(std::begin(marker), std::end(marker), buffer.begin());
  std::copy(text.begin(), text.end(), buffer.begin() + 4);
  return buffer;
}

// An IDispatch whose Invoke is the test's; counts its references.
class FakeDispatch : public IDispatch {
 public:
  using Handler = std::function<HRESULT(DISPID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*)>;
  explicit FakeDispatch(Handler handler) : handler_(std::move(handler)) {}
  ULONG references() const { return references_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = this;
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return --references_; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* exception, UINT*) override {
    return handler_(id, lcid, flags, params, result, exception);
  }

 private:
  Handler handler_;
  ULONG references_ = 1;
};

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
  FakeHost()
      : workbook_([](DISPID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*) { return DISP_E_MEMBERNOTFOUND; }),
        workbooks_([this](DISPID id, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*) {
          if (id != 682 || flags != DISPATCH_METHOD) return DISP_E_MEMBERNOTFOUND;
          OpenCall call;
          call.lcid = lcid;
          call.argumentCount = params->cArgs;
          for (UINT i = 0; i + 1 < params->cArgs; ++i) {
            if (params->rgvarg[i].vt == VT_ERROR && params->rgvarg[i].scode == DISP_E_PARAMNOTFOUND) {
              ++call.missingArguments;
            }
          }
          if (params->cArgs > 0 && params->rgvarg[params->cArgs - 1].vt == VT_BSTR) {
            call.path = params->rgvarg[params->cArgs - 1].bstrVal;
            const std::wstring folder = call.path.substr(0, call.path.rfind(L'\\'));
            call.folderContent = FolderContent(folder);
            call.auxContent = ReadBytes(call.path);
            call.commandFileContent = ReadBytes(folder + L"\\briskcmd.txt");
          }
          opens.push_back(call);
          workbook_.AddRef();
          result->vt = VT_DISPATCH;
          result->pdispVal = &workbook_;
          return S_OK;
        }),
        application_([this](DISPID id, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO* exception) {
          if (id != 572 || !(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
          if (failWorkbooks) {
            exception->wCode = 5;
            exception->bstrDescription = SysAllocString(L"no workbooks today");
            return DISP_E_EXCEPTION;
          }
          workbooks_.AddRef();
          result->vt = VT_DISPATCH;
          result->pdispVal = &workbooks_;
          return S_OK;
        }) {}

  IDispatch* application() { return &application_; }
  // Every reference handed out came back.
  bool Balanced() const {
    return workbook_.references() == 1 && workbooks_.references() == 1 && application_.references() == 1;
  }

  std::vector<OpenCall> opens;
  bool failWorkbooks = false;

 private:
  FakeDispatch workbook_;
  FakeDispatch workbooks_;
  FakeDispatch application_;
};

class TempFilesTest : public testing::Test {
 protected:
  void SetUp() override { ResetLauncher(); }
  void TearDown() override {
    for (const std::wstring& path : made_) RemoveTree(path);
    ResetLauncher();
  }

  void ResetLauncher() {
    files_ = LaunchFiles{};
    exePath_ = L"C:\\Apps\\Tool.exe";
    settings_ = BuildSettings{};
    settings_.workbookFormat = '4';
    storedWorkbook_.clear();
  }

  bool WriteMainWorkbook() { return brisk::WriteMainWorkbook(exePath_, settings_, storedWorkbook_, files_); }
  void OpenAuxWorkbook(IDispatch* host) {
    WriteCommandLineAndOpenAuxWorkbook(HostApplication(host), GetCommandLineW(), files_);
  }

  // WriteAddin, with the folder it made removed after the test.
  void MakeWorkingFolder() {
    ASSERT_TRUE(WriteAddin(false, files_));
    made_.push_back(files_.folder);
  }

  // A folder of the test's own, as the working folder.
  std::wstring UseFolder(const std::wstring& name) {
    const std::wstring folder = TempRoot() + name + std::to_wstring(GetCurrentProcessId());
    RemoveTree(folder);
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
  EXPECT_THAT(FolderContent(folder), ElementsAre(L"briskstub.dll"));
}

TEST_F(TempFilesTest, EveryRunGetsAFolderOfItsOwn) {
  MakeWorkingFolder();
  const std::wstring first = files_.folder;
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
  if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
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

TEST_F(TempFilesTest, ShortAddinPayloadMakesNoFolder) {
  files_.folder = L"unchanged";
  const std::vector<std::wstring> before = FolderContent(TempRoot().substr(0, TempRoot().size() - 1));
  EXPECT_FALSE(WriteAddin(true, files_));
  EXPECT_EQ(files_.folder, L"unchanged");
  EXPECT_TRUE(files_.addinPath.empty());
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
  PayloadBuffer packed;
  const PayloadBuffer plain = WithMarker("PACKED-STORED-WORKBOOK");
  ASSERT_TRUE(PackContainer(plain.data(), plain.size(), packed));
  const std::vector<Case> cases = {
      {"marked", WithMarker("STORED-WORKBOOK"), "STORED-WORKBOOK"},
      {"packed", packed, "PACKED-STORED-WORKBOOK"},
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
    RemoveTree(files_.folder);
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

  EXPECT_THAT(FolderContent(files_.folder), ElementsAre(L"Tool.xlsx", L"briskstub.dll"));
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
  EXPECT_THAT(FolderContent(files_.folder), ElementsAre(L"briskstub.dll"));

  // No host object at all fails the same way.
  EXPECT_THROW(OpenAuxWorkbook(nullptr), _com_error);
  EXPECT_THAT(FolderContent(files_.folder), ElementsAre(L"briskstub.dll"));
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
  HANDLE lock = CreateFileW(files_.addinPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
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

TEST_F(TempFilesTest, CleanupLeavesAFolderThatIsNotEmpty) {
  MakeWorkingFolder();
  ASSERT_TRUE(WriteMainWorkbook());
  ASSERT_TRUE(WriteBytes(files_.folder + L"\\other.txt", "x"));
  CleanupTempFiles(files_.workbookPath, files_.addinPath);
  EXPECT_THAT(FolderContent(files_.folder), ElementsAre(L"other.txt"));
}

TEST_F(TempFilesTest, CleanupNeverRemovesTheTemporaryRoot) {
  const std::wstring root = TempRoot();
  const std::wstring addin = root + L"briskstub-root-test.dll";
  ASSERT_TRUE(WriteBytes(addin, kAddin32));
  CleanupTempFiles(std::wstring(), addin);
  EXPECT_FALSE(Exists(addin));
  EXPECT_TRUE(Exists(root));
}

}  // namespace
}  // namespace brisk
