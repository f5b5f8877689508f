// The window and dialog framework: binding, classes, dispatch, centring, the
// empty dialog resource and the text-dialog lines.
#include <gtest/gtest.h>

#include <cwchar>
#include <new>
#include <stdexcept>

#include "ui/centre_window.h"
#include "ui/text_dialog.h"
#include "ui/ui_resource_ids.h"
#include "ui/window_object.h"
#include "ui_test_support.h"

namespace brisk {
namespace {

WindowClassRecord& ProbeClass() {
  static WindowClassRecord record = OwnWindowClass(CS_DBLCLKS | CS_GLOBALCLASS, IDC_ARROW);
  return record;
}

WindowClassRecord& StaticProbeClass() {
  static WindowClassRecord record = Superclass(L"STATIC");
  return record;
}

// Records what reaches its message map; handles WM_CREATE and WM_USER.
class ProbeWindow : public WindowImpl {
 public:
  explicit ProbeWindow(WindowClassRecord& record = ProbeClass()) : WindowImpl(record) {}
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    messages.push_back(message);
    if (message == WM_CREATE) {
      boundAtCreate = hwnd() == window;
      result = 0;
      return true;
    }
    if (message == WM_USER) {
      result = 42;
      return true;
    }
    return DefaultReflectionHandler(window, message, wParam, lParam, result);
  }
  void OnFinalMessage(HWND window) override {
    ++finalMessages;
    finalWindow = window;
  }

  std::vector<UINT> messages;
  bool boundAtCreate = false;
  int finalMessages = 0;
  HWND finalWindow = nullptr;
};

TEST(WindowObject, BoundBeforeItsFirstMessageAndUnboundAfterTheLast) {
  ProbeWindow probe;
  const HWND window = probe.Create(nullptr, {0, 0, 120, 80}, L"probe", WS_POPUP, 0, 0);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(probe.hwnd(), window);
  EXPECT_TRUE(probe.boundAtCreate);
  ASSERT_FALSE(probe.messages.empty());
  EXPECT_NE(std::find(probe.messages.begin(), probe.messages.end(), static_cast<UINT>(WM_NCCREATE)),
            probe.messages.end());
  EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 42);
  // Unhandled: the default procedure, here the window text it keeps.
  EXPECT_EQ(test::WindowText(window), L"probe");
  DestroyWindow(window);
  EXPECT_EQ(probe.hwnd(), nullptr);
  EXPECT_EQ(probe.finalMessages, 1);
  EXPECT_EQ(probe.finalWindow, window);
  EXPECT_EQ(probe.messages.back(), static_cast<UINT>(WM_NCDESTROY));
}

TEST(WindowClass, UnnamedClassIsNamedAfterItsRecordAndRegisteredOnce) {
  ProbeWindow first;
  ProbeWindow second;
  const HWND a = first.Create(nullptr, {0, 0, 50, 50}, L"", WS_POPUP, 0, 0);
  const HWND b = second.Create(nullptr, {0, 0, 50, 50}, L"", WS_POPUP, 0, 0);
  ASSERT_TRUE(a && b);
  wchar_t expected[37] = {};
  std::swprintf(expected, 37, L"ATL:%p", static_cast<void*>(&ProbeClass()));
  EXPECT_EQ(test::ClassName(a), expected);
  EXPECT_EQ(GetClassWord(a, GCW_ATOM), GetClassWord(b, GCW_ATOM));
  EXPECT_EQ(GetClassWord(a, GCW_ATOM), ProbeClass().atom);
  const ULONG_PTR style = GetClassLongPtrW(a, GCL_STYLE);
  EXPECT_EQ(style & CS_GLOBALCLASS, 0u);
  EXPECT_TRUE(style & CS_DBLCLKS);
  EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrW(a, GCLP_HCURSOR)), LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(GetClassLongPtrW(a, GCLP_HBRBACKGROUND), 0u);
  DestroyWindow(a);
  DestroyWindow(b);
}

TEST(WindowClass, SuperclassTakesTheUnderlyingDescriptionAndProcedure) {
  ProbeWindow label(StaticProbeClass());
  const HWND window = label.Create(nullptr, {0, 0, 80, 20}, L"text kept by STATIC", WS_POPUP, 0, 0);
  ASSERT_NE(window, nullptr);
  WNDCLASSEXW base{};
  base.cbSize = sizeof(base);
  ASSERT_TRUE(GetClassInfoExW(nullptr, L"STATIC", &base));
  EXPECT_EQ(StaticProbeClass().baseProc, base.lpfnWndProc);
  EXPECT_EQ(static_cast<UINT>(GetClassLongPtrW(window, GCL_STYLE)), base.style & ~CS_GLOBALCLASS);
  EXPECT_EQ(GetClassLongPtrW(window, GCL_CBWNDEXTRA), static_cast<ULONG_PTR>(base.cbWndExtra));
  EXPECT_EQ(test::WindowText(window), L"text kept by STATIC");
  EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 42);
  DestroyWindow(window);
}

TEST(WindowObject, ReflectedNotificationsGetTheDefaultAnswerOfTheirMessage) {
  ProbeWindow probe;
  const HWND window = probe.Create(nullptr, {0, 0, 50, 50}, L"", WS_POPUP, 0, 0);
  ASSERT_NE(window, nullptr);
  const HDC dc = GetDC(window);
  const LRESULT reflected =
      SendMessageW(window, 0x2000 + WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window));
  EXPECT_EQ(reflected,
            DefWindowProcW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
  EXPECT_NE(reflected, 0);
  ReleaseDC(window, dc);
  probe.messages.clear();
  SendMessageW(window, 0x2000 + WM_KEYDOWN, 0, 0);
  ASSERT_EQ(probe.messages.size(), 1u);
  DestroyWindow(window);
}

// Throws from its map on one message.
class ThrowingWindow : public ProbeWindow {
 public:
  explicit ThrowingWindow(UINT failing) : failing_(failing) {}
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == failing_) throw std::runtime_error("the map failed");
    return ProbeWindow::ProcessWindowMessage(window, message, wParam, lParam, result);
  }

 private:
  UINT failing_;
};

TEST(WindowObject, ExceptionFromTheMapStaysInsideTheProcedure) {
  for (UINT failing : {WM_NCCREATE, WM_CREATE}) {
    ThrowingWindow probe(failing);
    EXPECT_EQ(probe.Create(nullptr, {0, 0, 50, 50}, L"", WS_POPUP, 0, 0), nullptr)
        << "a window failing at " << failing << " is not created";
    EXPECT_EQ(probe.hwnd(), nullptr);
  }
  ThrowingWindow probe(WM_SETTEXT);
  const HWND window = probe.Create(nullptr, {0, 0, 50, 50}, L"before", WS_POPUP, 0, 0);
  ASSERT_NE(window, nullptr);
  // The failed message gets the default processing; the window lives on.
  EXPECT_TRUE(SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"after")));
  EXPECT_EQ(test::WindowText(window), L"after");
  EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 42);
  DestroyWindow(window);
  EXPECT_EQ(probe.finalMessages, 1);
}

// The empty frame from resource 113 that closes itself once it is up, and
// lays out a few text lines first.
class LinesDialog : public CTextDialog {
 public:
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == WM_INITDIALOG) {
      CTextDialog::ProcessWindowMessage(window, message, wParam, lParam, result);
      initDialogBound = hwnd() == window;
      contentWidth_ = 100;
      AddLine(L"A title that is wider than one hundred pixels", titleFont());
      AddLine(L"Two\nlines", textFont());
      AddLine(L"small", smallFont());
      AddLine(L"normal", nullptr);
      PostMessageW(window, WM_CLOSE, 0, 0);
      return true;
    }
    return CTextDialog::ProcessWindowMessage(window, message, wParam, lParam, result);
  }

  struct Line {
    RECT rect;
    SIZE measured;
    HFONT font;
    int contentWidth;
  };
  std::vector<Line> lines;
  bool initDialogBound = false;

 private:
  void AddLine(const std::wstring& text, HFONT font) {
    const HWND line = AddTextLine(hwnd(), text, font);
    SIZE measured{};
    const HDC dc = GetDC(line);
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &measured);
    ReleaseDC(line, dc);
    lines.push_back({test::ChildRect(line), measured, reinterpret_cast<HFONT>(SendMessageW(line, WM_GETFONT, 0, 0)),
                     contentWidth_});
  }
};

TEST(TextDialog, LinesStackUnderEachOtherByTheirFontsRules) {
  LinesDialog dialog;
  EXPECT_EQ(dialog.DoModal(nullptr, IDD_EMPTY_DIALOG), IDCANCEL);
  EXPECT_TRUE(dialog.initDialogBound);
  ASSERT_EQ(dialog.lines.size(), 4u);
  const auto& title = dialog.lines[0];
  EXPECT_EQ(title.rect.top, 0);
  EXPECT_EQ(title.rect.bottom, title.measured.cy + 3);
  EXPECT_EQ(title.contentWidth, static_cast<int>(title.measured.cx * 1.1));
  EXPECT_EQ(title.rect.right, title.contentWidth);
  EXPECT_EQ(title.font, dialog.titleFont());
  const auto& twoLines = dialog.lines[1];
  EXPECT_EQ(twoLines.rect.top, title.rect.bottom);
  EXPECT_EQ(twoLines.rect.bottom - twoLines.rect.top, 5 * twoLines.measured.cy);
  EXPECT_EQ(twoLines.contentWidth, title.contentWidth);
  const auto& small = dialog.lines[2];
  EXPECT_EQ(small.rect.bottom - small.rect.top, small.measured.cy - 4);
  const auto& normal = dialog.lines[3];
  EXPECT_EQ(normal.rect.top, small.rect.bottom);
  EXPECT_EQ(normal.rect.bottom - normal.rect.top, normal.measured.cy + 1);
  EXPECT_EQ(normal.font, dialog.normalFont());
}

TEST(Dialog, MissingResourceFailsWithoutLeavingTheObjectPending) {
  LinesDialog missing;
  EXPECT_EQ(missing.DoModal(nullptr, 999), -1);
  LinesDialog next;
  EXPECT_EQ(next.DoModal(nullptr, IDD_EMPTY_DIALOG), IDCANCEL);
  EXPECT_TRUE(next.initDialogBound);
  EXPECT_FALSE(missing.initDialogBound);
}

// The empty frame that throws from its map on one message. Once up, it
// posts itself WM_USER and then OK.
class ThrowingDialog : public CTextDialog {
 public:
  explicit ThrowingDialog(UINT failing) : failing_(failing) {}
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == failing_) throw std::bad_alloc();
    if (message == WM_INITDIALOG) {
      PostMessageW(window, WM_USER, 0, 0);
      PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
    return CTextDialog::ProcessWindowMessage(window, message, wParam, lParam, result);
  }

 private:
  UINT failing_;
};

TEST(Dialog, ExceptionFromTheMapEndsItAsFailed) {
  for (UINT failing : {WM_INITDIALOG, WM_USER}) {
    ThrowingDialog dialog(failing);
    EXPECT_EQ(dialog.DoModal(nullptr, IDD_EMPTY_DIALOG), -1) << "failing at " << failing;
    EXPECT_TRUE(dialog.ProcedureFailed());
    EXPECT_EQ(dialog.hwnd(), nullptr) << "the dialog is gone";
  }
  ThrowingDialog sound(WM_APP);
  EXPECT_EQ(sound.DoModal(nullptr, IDD_EMPTY_DIALOG), IDOK);
  EXPECT_FALSE(sound.ProcedureFailed());
}

TEST(Dialog, TestProbeFailsADialogAsItsMapWould) {
  {
    const test::FailingDialogInit failing([] { throw std::bad_alloc(); });
    LinesDialog dialog;
    EXPECT_EQ(dialog.DoModal(nullptr, IDD_EMPTY_DIALOG), -1);
    EXPECT_TRUE(dialog.ProcedureFailed());
    EXPECT_FALSE(dialog.initDialogBound) << "the map never saw WM_INITDIALOG";
  }
  LinesDialog after;
  EXPECT_EQ(after.DoModal(nullptr, IDD_EMPTY_DIALOG), IDCANCEL);
  EXPECT_FALSE(after.ProcedureFailed());
}

TEST(Resources, EmptyDialogFrame113) {
  const HRSRC resource = FindResourceExW(nullptr, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(IDD_EMPTY_DIALOG),
                                         MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  ASSERT_NE(resource, nullptr);
  const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, resource)));
  ASSERT_NE(data, nullptr);
  const auto* header = reinterpret_cast<const DLGTEMPLATE*>(data);
  EXPECT_EQ(header->style, 0x80C800C0u);
  EXPECT_EQ(header->dwExtendedStyle, 0u);
  EXPECT_EQ(header->cdit, 0);
  EXPECT_EQ(header->x, 0);
  EXPECT_EQ(header->y, 0);
  EXPECT_EQ(header->cx, 186);
  EXPECT_EQ(header->cy, 95);
  const auto* words = reinterpret_cast<const wchar_t*>(data + sizeof(DLGTEMPLATE));
  EXPECT_EQ(words[0], 0) << "no menu";
  EXPECT_EQ(words[1], 0) << "the default dialog class";
  const std::wstring title(words + 2);
  EXPECT_EQ(title, L"Dialog");
  const wchar_t* font = words + 2 + title.size() + 1;
  EXPECT_EQ(font[0], 8) << "point size";
  EXPECT_EQ(std::wstring(font + 1), L"MS Sans Serif");
}

TEST(CentreWindow, OverAVisibleOwnerOrOnTheWorkArea) {
  const HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 100, 100, 400, 300, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
  const HWND window =
      CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(owner && window);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT work = monitor.rcWork;

  CentreWindow(window);  // the owner is hidden: the work area
  RECT r = test::WindowRect(window);
  EXPECT_EQ(r.left, (work.left + work.right) / 2 - 100);
  EXPECT_EQ(r.top, (work.top + work.bottom) / 2 - 50);
  EXPECT_EQ(r.right - r.left, 200);

  ShowWindow(owner, SW_SHOWNOACTIVATE);
  CentreWindow(window);
  r = test::WindowRect(window);
  EXPECT_EQ(r.left, 200);
  EXPECT_EQ(r.top, 200);

  MoveWindow(owner, work.right - 100, work.bottom - 50, 400, 300, FALSE);
  CentreWindow(window);
  r = test::WindowRect(window);
  EXPECT_EQ(r.right, work.right) << "kept inside the work area";
  EXPECT_EQ(r.bottom, work.bottom);

  const HWND child =
      CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 40, 20, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  CentreWindow(child);
  r = test::ChildRect(child);
  EXPECT_EQ(r.left, 200 - 20);
  EXPECT_EQ(r.top, 150 - 10);
  DestroyWindow(owner);
}

}  // namespace
}  // namespace brisk
