#include "ui/text_dialog.h"

#include "ui/dialog_layout.h"

namespace brisk {

namespace {

HFONT CreateArialFont(int height, int weight) {
  return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial");
}

void CreateIfMissing(UniqueFont& font, int height, int weight) {
  if (!font) font.reset(CreateArialFont(height, weight));
}

}  // namespace

BOOL CTextDialog::CreateFonts() {
  CreateIfMissing(titleFont_, -14, 600);
  CreateIfMissing(normalFont_, -12, 400);
  CreateIfMissing(textFont_, -11, 400);
  CreateIfMissing(smallFont_, -10, 300);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(normalFont_.get()), TRUE);
  return TRUE;
}

HWND CTextDialog::AddTextLine(HWND parent, const std::wstring& text, HFONT font) {
  const HWND line = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_CENTER, 0, cursorY_, 0, 0, parent,
                                    nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!line) return nullptr;
  const HFONT used = font ? font : normalFont_.get();
  SendMessageW(line, WM_SETFONT, reinterpret_cast<WPARAM>(used), TRUE);

  LineFont kind = LineFont::kNormal;
  if (used && used == titleFont_.get()) kind = LineFont::kTitle;
  if (used && used == textFont_.get()) kind = LineFont::kText;
  if (used && used == smallFont_.get()) kind = LineFont::kSmall;

  TextLineStep step;
  {
    // Measured as the control's device context comes, in its default font;
    // the width factors of the layout allow for that.
    WindowDC dc(line);
    SIZE measured{};
    if (dc && GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &measured)) {
      step = MeasuredTextLine(kind, text.find(L'\n') != std::wstring::npos, {measured.cx, measured.cy}, contentWidth_);
    } else {
      RECT client{};
      GetClientRect(parent, &client);
      step = UnmeasuredTextLine(contentWidth_, client.right - client.left);
    }
  }
  contentWidth_ = step.contentWidth;
  MoveWindow(line, 0, cursorY_, contentWidth_, step.height, TRUE);
  SetWindowTextW(line, text.c_str());
  children_.push_back(line);
  cursorY_ += step.advance;
  return line;
}

bool CTextDialog::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      result = CreateFonts();
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) != IDOK) break;
      EndDialog(IDOK);
      result = 0;
      return true;
    case WM_CLOSE:
      EndDialog(IDCANCEL);
      result = 0;
      return true;
  }
  return DefaultReflectionHandler(window, message, wParam, lParam, result);
}

}  // namespace brisk
