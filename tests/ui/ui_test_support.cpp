#include "ui_test_support.h"

#include <objidl.h>
#include <gdiplus.h>

#include "ui/window_object.h"

namespace brisk::test {

namespace {

constexpr DWORD kPollMs = 20;

template <typename Probe>
auto Poll(DWORD timeoutMs, Probe probe) -> decltype(probe()) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (auto found = probe()) return found;
    if (GetTickCount64() >= end) return {};
    Sleep(kPollMs);
  }
}

BOOL CALLBACK FirstVisible(HWND window, LPARAM out) {
  if (!IsWindowVisible(window) || GetParent(window)) return TRUE;
  *reinterpret_cast<HWND*>(out) = window;
  return FALSE;
}

BOOL CALLBACK CloseOne(HWND window, LPARAM) {
  PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

bool PngEncoder(CLSID& clsid) {
  UINT count = 0;
  UINT size = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
  std::vector<std::uint8_t> buffer(size);
  auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, size, encoders) != Gdiplus::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (std::wstring(encoders[i].MimeType) == L"image/png") {
      clsid = encoders[i].Clsid;
      return true;
    }
  }
  return false;
}

void SendMouse(POINT screen, DWORD flags) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = MulDiv(screen.x, 65536, width) + 1;
  input.mi.dy = MulDiv(screen.y, 65536, height) + 1;
  input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof(input));
}

void (*dialogInitThrower)() = nullptr;

void ThrowAtDialogInit(HWND, UINT message) {
  if (message == WM_INITDIALOG && dialogInitThrower) dialogInitThrower();
}

}  // namespace

FailingDialogInit::FailingDialogInit(void (*thrower)()) {
  dialogInitThrower = thrower;
  SetDialogMessageProbeForTesting(ThrowAtDialogInit);
}

FailingDialogInit::~FailingDialogInit() {
  SetDialogMessageProbeForTesting(nullptr);
  dialogInitThrower = nullptr;
}

HWND WaitForTitle(const std::wstring& title, DWORD timeoutMs) {
  return Poll(timeoutMs, [&]() -> HWND {
    const HWND window = FindWindowW(nullptr, title.c_str());
    return window && IsWindowVisible(window) ? window : nullptr;
  });
}

HWND WaitForThreadWindow(DWORD threadId, DWORD timeoutMs) {
  return Poll(timeoutMs, [&]() -> HWND {
    HWND found = nullptr;
    EnumThreadWindows(threadId, FirstVisible, reinterpret_cast<LPARAM>(&found));
    return found;
  });
}

bool WaitUntilGone(HWND window, DWORD timeoutMs) {
  return Poll(timeoutMs, [&] { return !IsWindow(window); });
}

RECT ChildRect(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

RECT ClientRect(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  return r;
}

RECT WindowRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

std::vector<HWND> ChildrenOfClass(HWND parent, const std::wstring& className) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (_wcsicmp(ClassName(child).c_str(), className.c_str()) == 0) children.push_back(child);
  }
  return children;
}

void TypeText(HWND target, std::wstring_view text) {
  for (wchar_t c : text) PostMessageW(target, WM_CHAR, c, 1);
}

void PressKey(HWND target, WORD virtualKey) {
  const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
  PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
  PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
}

void ClickAt(HWND window, POINT client) {
  ClientToScreen(window, &client);
  SendMouse(client, MOUSEEVENTF_MOVE);
  SendMouse(client, MOUSEEVENTF_LEFTDOWN);
  SendMouse(client, MOUSEEVENTF_LEFTUP);
}

void ClickCentre(HWND window) {
  const RECT r = ClientRect(window);
  ClickAt(window, {(r.right - r.left) / 2, (r.bottom - r.top) / 2});
}

bool PressCloseBox(HWND window) {
  // Finds the close box along the caption by hit-testing, then clicks it.
  const RECT r = WindowRect(window);
  const int y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
  for (int x = r.right - 1; x > r.left; --x) {
    const LRESULT hit = SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y));
    if (hit != HTCLOSE) continue;
    const POINT screen{x - 4, y};
    SendMouse(screen, MOUSEEVENTF_MOVE);
    SendMouse(screen, MOUSEEVENTF_LEFTDOWN);
    SendMouse(screen, MOUSEEVENTF_LEFTUP);
    return true;
  }
  return false;
}

void Settle(HWND window) {
  DWORD_PTR ignored = 0;
  for (int pass = 0; pass < 3; ++pass) {
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 2000, &ignored);
    Sleep(50);
  }
}

Capture CaptureWindow(HWND window) {
  Capture capture;
  const RECT r = WindowRect(window);
  capture.width = r.right - r.left;
  capture.height = r.bottom - r.top;
  if (capture.width <= 0 || capture.height <= 0) return {};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = capture.width;
  info.bmiHeader.biHeight = -capture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && memory) {
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, capture.width, capture.height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
    GdiFlush();
    const auto* first = static_cast<const std::uint32_t*>(bits);
    capture.pixels.assign(first, first + static_cast<std::size_t>(capture.width) * capture.height);
    SelectObject(memory, previous);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return capture;
}

bool SaveScreenshot(const Capture& capture, const std::string& name) {
  if (capture.pixels.empty()) return false;
  CLSID png{};
  if (!PngEncoder(png)) return false;
  const std::wstring folder = WinePath(BRISK_SCREENSHOT_DIR);
  CreateDirectoryW(folder.c_str(), nullptr);
  std::vector<std::uint32_t> opaque = capture.pixels;
  for (std::uint32_t& pixel : opaque) pixel |= 0xFF000000u;
  Gdiplus::Bitmap bitmap(capture.width, capture.height, capture.width * 4, PixelFormat32bppARGB,
                         reinterpret_cast<BYTE*>(opaque.data()));
  const std::wstring path = folder + L"\\" + std::wstring(name.begin(), name.end()) + L".png";
  return bitmap.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
}

bool SaveScreenshot(HWND window, const std::string& name) { return SaveScreenshot(CaptureWindow(window), name); }

ModalDriver::ModalDriver(std::function<void()> actions)
    : ownerThread_(GetCurrentThreadId()), returned_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  thread_ = std::thread([this, actions = std::move(actions)] {
    actions();
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (WaitForSingleObject(returned_.get(), 10000) == WAIT_OBJECT_0) return;
      EnumThreadWindows(ownerThread_, CloseOne, 0);
    }
  });
}

ModalDriver::~ModalDriver() {
  ModalReturned();
  if (thread_.joinable()) thread_.join();
}

void ModalDriver::ModalReturned() { SetEvent(returned_.get()); }

PayloadBuffer MakeBmp(int width, int height) {
  const int stride = (width * 3 + 3) & ~3;
  const std::uint32_t pixelBytes = static_cast<std::uint32_t>(stride * height);
  PayloadBuffer bmp(54 + pixelBytes, 0);
  auto put32 = [&](std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, static_cast<std::uint32_t>(bmp.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  bmp[26] = 1;
  bmp[28] = 24;
  put32(34, pixelBytes);
  put32(38, 3780);  // 96 dpi
  put32(42, 3780);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::size_t at = 54 + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 3;
      const bool frame = x < 4 || y < 4 || x >= width - 4 || y >= height - 4;
      bmp[at + 0] = frame ? 40 : static_cast<std::uint8_t>(120 + 120 * x / width);                 // blue
      bmp[at + 1] = frame ? 40 : static_cast<std::uint8_t>(60 + 120 * y / height);                 // green
      bmp[at + 2] = frame ? 40 : static_cast<std::uint8_t>(30 + 60 * (x + y) / (width + height));  // red
    }
  }
  return bmp;
}

}  // namespace brisk::test
