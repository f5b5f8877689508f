#include "ui/dialog_template.h"

#include <richedit.h>
#include <shellapi.h>

#include <algorithm>

#include "ui/centre_window.h"
#include "ui/notice_layout.h"

namespace brisk {

namespace {

constexpr DWORD kBodyStyle =
    WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_READONLY | ES_AUTOHSCROLL | ES_AUTOVSCROLL | ES_MULTILINE;
constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_CENTER;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

HFONT CreateTahomaFont(int height, int weight, BYTE charset) {
  return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
}

Rect ClientRectOf(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return {r.left, r.top, r.right, r.bottom};
}

Rect WindowRectOf(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return {r.left, r.top, r.right, r.bottom};
}

// A child's rectangle in its parent's client coordinates.
Rect ChildRect(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right, r.bottom};
}

void MoveTo(HWND window, const Rect& r) { MoveWindow(window, r.left, r.top, r.Width(), r.Height(), TRUE); }

DWORD CALLBACK ReadRtfChunk(DWORD_PTR cookie, LPBYTE buffer, LONG requested, LONG* delivered) {
  auto* reader = reinterpret_cast<RtfChunkReader*>(cookie);
  *delivered = static_cast<LONG>(reader->Read(buffer, requested > 0 ? static_cast<std::size_t>(requested) : 0));
  return 0;
}

}  // namespace

bool IsUtf16Text(ByteSpan bytes) {
  return !bytes.empty() && IsTextUnicode(bytes.data(), static_cast<int>(bytes.size()), nullptr) != FALSE;
}

CDialogTemplate::CDialogTemplate(int widthPixels, double scale) : scale_(scale) {
  BuildNoticeTemplate(template_, NoticeTemplateWidth(widthPixels, scale), 0);
  smallFont_.reset(CreateTahomaFont(Trunc(-11 * scale), FW_NORMAL, DEFAULT_CHARSET));
  bodyFont_.reset(CreateTahomaFont(Trunc(-12 * scale), FW_NORMAL, DEFAULT_CHARSET));
  emphasisFont_.reset(CreateTahomaFont(Trunc(-13 * scale), FW_MEDIUM, ANSI_CHARSET));
}

CDialogTemplate::~CDialogTemplate() = default;

void CDialogTemplate::SetDialogIcon(HICON icon) {
  if (!icon) return;
  icon_.reset(DuplicateIcon(nullptr, icon));
}

void CDialogTemplate::SetBodyText(ByteSpan bytes, const MacroTable* macros) {
  bodyText_ = PrepareBodyText(bytes, IsUtf16Text(bytes), macros);
}

void CDialogTemplate::SetSymbol(int kind) {
  if (!symbol_) symbol_ = SymbolImage::Load(kind);
}

INT_PTR CDialogTemplate::ShowModal(HWND owner) {
  const DLGTEMPLATE* dialogTemplate = template_.Lock();
  if (!dialogTemplate) return -1;
  const INT_PTR result = DoModalIndirect(owner, dialogTemplate);
  template_.Unlock();
  return result;
}

Size CDialogTemplate::SymbolSize() const {
  if (!symbol_) return {};
  return ScaledSymbolSize({symbol_->width(), symbol_->height()}, scale_);
}

HFONT CDialogTemplate::LabelFont(int fontChoice) const {
  if (fontChoice == 0) return smallFont_.get();
  if (fontChoice == 1) return bodyFont_.get();
  return emphasisFont_.get();
}

void CDialogTemplate::LoadBody() {
  const HWND body = body_.hwnd();
  const std::string& bytes = bodyText_.bytes;
  const bool startsWithBom =
      bytes.size() >= 2 && static_cast<std::uint8_t>(bytes[0]) == 0xFF && static_cast<std::uint8_t>(bytes[1]) == 0xFE;
  if (bodyText_.isUtf16 || startsWithBom) {
    SendMessageW(body, WM_SETFONT, reinterpret_cast<WPARAM>(bodyFont_.get()), FALSE);
    const std::u16string units = BodyUnitsWithoutBom(bodyText_);
    const std::wstring text(units.begin(), units.end());
    SendMessageW(body, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  } else if (!StartsWithRtf({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()})) {
    SendMessageW(body, WM_SETFONT, reinterpret_cast<WPARAM>(bodyFont_.get()), FALSE);
    std::wstring text(bytes.size() + 512, L'\0');
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                        static_cast<int>(text.size()));
    SendMessageW(body, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  } else {
    bodyIsRtf_ = true;
    RtfChunkReader reader(bytes);
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&reader);
    stream.pfnCallback = ReadRtfChunk;
    SendMessageW(body, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
  }
}

std::vector<int> CDialogTemplate::CreateLabels(int top, int clientWidth) {
  std::vector<int> heights;
  WindowDC dc(hwnd_);
  int y = top;
  for (const LabelSpec& wanted : labelSpecs_) {
    const HFONT font = LabelFont(wanted.fontChoice);
    SIZE measured{};
    if (dc) {
      SelectedObject selected(dc.get(), font);
      GetTextExtentPoint32W(dc.get(), wanted.text.c_str(), static_cast<int>(wanted.text.size()), &measured);
    }
    const int height = measured.cy + 1;
    const HWND label = CreateWindowExW(0, L"STATIC", wanted.text.c_str(), kLabelStyle, 0, y, clientWidth, height, hwnd_,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
    if (label) {
      SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
      labels_.push_back(label);
    }
    heights.push_back(height);
    y += height;
  }
  return heights;
}

void CDialogTemplate::CreateButtons() {
  std::vector<int> captionWidths;
  {
    WindowDC dc(hwnd_);
    SelectedObject selected(dc.get(), bodyFont_.get());
    for (const ButtonSpec& wanted : buttonSpecs_) {
      SIZE measured{};
      if (dc)
        GetTextExtentPoint32W(dc.get(), wanted.caption.c_str(), static_cast<int>(wanted.caption.size()), &measured);
      captionWidths.push_back(measured.cx);
    }
  }
  const Rect client = ClientRectOf(hwnd_);
  const ButtonRow row = LayoutNoticeButtons(captionWidths, {client.Width(), client.Height()}, scale_,
                                            GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYDLGFRAME));
  for (std::size_t i = 0; i < buttonSpecs_.size(); ++i) {
    const Rect& r = row.buttons[i];
    const HWND button = CreateWindowExW(
        0, L"BUTTON", buttonSpecs_[i].caption.c_str(), kButtonStyle, r.left, r.top, r.Width(), r.Height(), hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(buttonSpecs_[i].id)), GetModuleHandleW(nullptr), nullptr);
    if (!button) continue;
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(bodyFont_.get()), TRUE);
    buttons_.push_back(button);
  }
  const Rect window = WindowRectOf(hwnd_);
  const std::optional<int> width = NoticeWidthForButtons(row.totalWidth, scale_, GetSystemMetrics(SM_CXEDGE),
                                                         window.Width(), GetSystemMetrics(SM_CXFULLSCREEN));
  if (width) ResizeToWidth(*width);
}

void CDialogTemplate::ResizeToWidth(int width) {
  const Rect window = WindowRectOf(hwnd_);
  MoveWindow(hwnd_, window.left, window.top, width, window.Height(), TRUE);
  const Rect client = ClientRectOf(hwnd_);
  // The body keeps the right margin it was given when the dialog opened.
  Rect body = ChildRect(body_.hwnd());
  body.right = NoticeBodyRect(scale_, SymbolSize(), client.Width(), bodyBottom_).right;
  MoveTo(body_.hwnd(), body);
  std::vector<Rect> current;
  for (HWND button : buttons_) current.push_back(ChildRect(button));
  const std::vector<Rect> placed = PlaceButtonsFromRight(current, client.Width(), scale_);
  for (std::size_t i = 0; i < buttons_.size(); ++i) MoveTo(buttons_[i], placed[i]);
}

void CDialogTemplate::OnInitDialog() {
  SetWindowTextW(hwnd_, title_.c_str());
  if (icon_) SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.get()));
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(bodyFont_.get()), TRUE);

  const Size symbol = SymbolSize();
  Rect bodyRect = NoticeBodyRect(scale_, symbol, ClientRectOf(hwnd_).Width(), bodyBottom_);
  const RECT createAt{bodyRect.left, bodyRect.top, bodyRect.right,
                      bodyRect.bottom > bodyRect.top ? bodyRect.bottom : bodyRect.top};
  EnsureRichEditLibrary();
  const HWND body = body_.Create(hwnd_, createAt, L"", kBodyStyle, 0, kNoticeBodyId);
  if (body) {
    {
      WindowDC dc(body);
      SendMessageW(body, EM_SETTARGETDEVICE, reinterpret_cast<WPARAM>(dc.get()), 0);
    }
    SendMessageW(body, EM_AUTOURLDETECT, TRUE, 0);
    SendMessageW(body, EM_SETEVENTMASK, 0, ENM_LINK);
    SendMessageW(body, EM_SETTEXTMODE, TM_RICHTEXT, 0);
    LoadBody();
    if (bodyBottom_ == 0) {
      const int lines = static_cast<int>(SendMessageW(body, EM_GETLINECOUNT, 0, 0));
      bodyBottom_ = NoticeBodyBottom(scale_, symbol.height, bodyRect, lines, bodyIsRtf_);
    }
    bodyRect.bottom = bodyBottom_;
    MoveTo(body, bodyRect);
  }

  const Rect client = ClientRectOf(hwnd_);
  const int bodyBottomEdge = body ? ChildRect(body).bottom : bodyBottom_;
  std::vector<int> labelHeights;
  if (!labelSpecs_.empty()) labelHeights = CreateLabels(NoticeLabelsTop(bodyBottom_, scale_), client.Width());
  const int contentBottom = NoticeContentBottom(bodyBottomEdge, scale_, labelHeights);

  const Rect window = WindowRectOf(hwnd_);
  const int height =
      NoticeWindowHeight(contentBottom, scale_, GetSystemMetrics(SM_CYCAPTION), window.Height() - client.Height());
  MoveWindow(hwnd_, window.left, window.top, window.Width(), height, TRUE);

  CreateButtons();
  CentreWindow(hwnd_);
  if (topmost_) SetWindowPos(hwnd_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW);
  if (toForeground_) SetForegroundWindow(hwnd_);
}

void CDialogTemplate::OnPaint() {
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(hwnd_, &paint);
  if (dc && symbol_) {
    Gdiplus::Graphics graphics(dc);
    graphics.SetCompositingQuality(Gdiplus::CompositingQualityHighQuality);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    graphics.DrawImage(&symbol_->image(), Trunc(15 * scale_), Trunc(15 * scale_), symbol_->width(), symbol_->height());
  }
  EndPaint(hwnd_, &paint);
}

void CDialogTemplate::OpenLink(const CHARRANGE& range) {
  if (range.cpMax <= range.cpMin) return;
  // Sized to the link, however long: a link is opened whole or not at all.
  std::wstring link(static_cast<std::size_t>(range.cpMax - range.cpMin) + 1, L'\0');
  TEXTRANGEW textRange{range, link.data()};
  SendMessageW(body_.hwnd(), EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&textRange));
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.lpFile = link.c_str();
  info.nShow = SW_SHOW;
  ShellExecuteExW(&info);
  HideCaret(body_.hwnd());
  if (!buttons_.empty()) SetFocus(buttons_.front());
}

bool CDialogTemplate::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      result = FALSE;
      return true;
    case WM_PAINT:
      OnPaint();
      result = 0;
      return true;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->code != EN_LINK) return false;
      const auto* link = reinterpret_cast<const ENLINK*>(lParam);
      if (link->msg != WM_LBUTTONDOWN) return false;
      OpenLink(link->chrg);
      result = 0;
      return true;
    }
    case WM_COMMAND: {
      if (HIWORD(wParam) != 0) return false;
      const int id = LOWORD(wParam);
      if (id != IDOK && id != IDCANCEL && id != IDYES && id != IDNO && id != IDCLOSE) return false;
      const auto sender = reinterpret_cast<HWND>(lParam);
      if (GetWindowLongW(sender, GWL_STYLE) & WS_VISIBLE) EndDialog(id);
      result = id;
      return true;
    }
    case WM_CTLCOLORSTATIC:
      result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
      return true;
    case DM_GETDEFID: {
      // The dialog manager asks this when Enter is pressed: Enter acts on the
      // focused button, wherever the focus came from (a click on a link puts
      // it on a button without making that the default).
      const HWND focus = GetFocus();
      if (std::find(buttons_.begin(), buttons_.end(), focus) == buttons_.end()) return false;
      result = MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
      return true;
    }
  }
  return false;
}

}  // namespace brisk
