#include "ui/splash_wnd.h"

#include <string>

#include "payload/encoded_strings.h"
#include "ui/splash_inputs.h"
#include "ui/splash_layout.h"

namespace brisk {

namespace {

constexpr DWORD kSplashStyle = WS_POPUP | WS_VISIBLE | WS_BORDER;
constexpr DWORD kBannerStyle = WS_CHILD | WS_VISIBLE | SS_CENTER;

WindowClassRecord& SplashClass() {
  static WindowClassRecord record = OwnWindowClass(CS_DBLCLKS, IDC_ARROW);
  return record;
}

WindowClassRecord& PictureClass() {
  static WindowClassRecord record = Superclass(L"STATIC");
  return record;
}

// The banner texts are ASCII; each byte becomes one UTF-16 unit.
std::wstring BannerText(std::uint16_t variant) {
  const std::string narrow = GetEncodedStringA(SplashBannerTextNumber(variant));
  std::wstring wide;
  for (char c : narrow) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return wide;
}

RECT ToRECT(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace

CSplashPicture::CSplashPicture(CSplashWnd& owner) : WindowImpl(PictureClass()), owner_(owner) {}

bool CSplashPicture::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message != WM_PAINT) return DefaultReflectionHandler(window, message, wParam, lParam, result);
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(window, &paint);
  if (IPicture* picture = owner_.picture(); dc && picture) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    RECT client{};
    GetClientRect(window, &client);
    picture->Render(dc, 0, 0, client.right, client.bottom, 0, height, width, -height, nullptr);
  }
  EndPaint(window, &paint);
  result = 0;
  return true;
}

CSplashWnd::CSplashWnd(ComRef<IPicture> picture, bool hideBanner, std::uint16_t bannerVariant)
    : WindowImpl(SplashClass()),
      picture_(std::move(picture)),
      pictureControl_(*this),
      bannerVariant_(bannerVariant),
      hideBanner_(hideBanner) {}

CSplashWnd::~CSplashWnd() {
  if (hwnd_) DestroyWindow(hwnd_);
}

HWND CSplashWnd::CreateSplash() {
  const RECT initial{0, 0, kSplashDefaultSize.width, kSplashDefaultSize.height};
  return Create(nullptr, initial, L"", kSplashStyle, WS_EX_TOPMOST, 0);
}

void CSplashWnd::OnCreate() {
  whiteBrush_.reset(CreateSolidBrush(RGB(255, 255, 255)));
  GetWindowRect(hwnd_, &windowRect_);
  GetClientRect(hwnd_, &clientRect_);

  SplashSizingInput input;
  input.window = {windowRect_.right - windowRect_.left, windowRect_.bottom - windowRect_.top};
  input.client = {clientRect_.right - clientRect_.left, clientRect_.bottom - clientRect_.top};
  input.hideBanner = hideBanner_;
  {
    WindowDC dc(hwnd_);
    if (picture_ && dc) {
      OLE_XSIZE_HIMETRIC width = 0;
      OLE_YSIZE_HIMETRIC height = 0;
      picture_->get_Width(&width);
      picture_->get_Height(&height);
      input.hasPicture = true;
      input.picture = {HimetricToPixels(width, GetDeviceCaps(dc.get(), LOGPIXELSX)),
                       HimetricToPixels(height, GetDeviceCaps(dc.get(), LOGPIXELSY))};
    }
    // The screen's size, read from the window's own device context.
    if (dc) input.screen = {GetDeviceCaps(dc.get(), HORZRES), GetDeviceCaps(dc.get(), VERTRES)};
  }
  const SplashWindowPlacement placement = PlaceSplashWindow(input);
  windowRect_ = ToRECT(placement.window);
  MoveWindow(hwnd_, windowRect_.left, windowRect_.top, windowRect_.right - windowRect_.left,
             windowRect_.bottom - windowRect_.top, TRUE);

  GetClientRect(hwnd_, &clientRect_);
  const SplashChildRects children = PlaceSplashChildren(
      {clientRect_.left, clientRect_.top, clientRect_.right, clientRect_.bottom}, placement.ratio, hideBanner_);
  bannerRect_ = ToRECT(children.banner);
  pictureControl_.Create(hwnd_, ToRECT(children.picture), L"", WS_CHILD | WS_VISIBLE, 0, 0);
  if (!hideBanner_) {
    bannerFont_.reset(CreateFontW(-10, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, L"Arial"));
    bannerLabel_ =
        CreateWindowExW(0, L"STATIC", BannerText(bannerVariant_).c_str(), kBannerStyle, bannerRect_.left,
                        bannerRect_.top, bannerRect_.right - bannerRect_.left, bannerRect_.bottom - bannerRect_.top,
                        hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (bannerLabel_) SendMessageW(bannerLabel_, WM_SETFONT, reinterpret_cast<WPARAM>(bannerFont_.get()), TRUE);
  }
}

LRESULT CSplashWnd::OnEraseBackground(HDC dc) {
  RECT picture{};
  GetWindowRect(pictureControl_.hwnd(), &picture);
  if (picture.right - picture.left >= kSplashMinimumWidth) return 0;
  RECT client{};
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, whiteBrush_.get());
  return 1;
}

bool CSplashWnd::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
      result = 0;
      return true;
    case WM_PAINT:
      // The window's own update region stays: a paint message is always
      // pending, which paces the splash thread's loop. A null window would
      // make RedrawWindow repaint the whole desktop.
      if (const HWND picture = pictureControl_.hwnd()) {
        RedrawWindow(picture, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
      }
      if (bannerLabel_) RedrawWindow(bannerLabel_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
      result = 1;
      return true;
    case WM_ERASEBKGND:
      result = OnEraseBackground(reinterpret_cast<HDC>(wParam));
      return true;
    case WM_CTLCOLORSTATIC:
      result = reinterpret_cast<LRESULT>(whiteBrush_.get());
      return true;
  }
  return DefaultReflectionHandler(window, message, wParam, lParam, result);
}

}  // namespace brisk
