// GDI+ started for the life of the scope and shut down once, only when it
// started.
#pragma once

#include <windows.h>
#include <gdiplus.h>

namespace brisk {

class GdiplusSession {
 public:
  GdiplusSession() {
    const Gdiplus::GdiplusStartupInput input;
    status_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr);
  }
  ~GdiplusSession() {
    if (status_ == Gdiplus::Ok) Gdiplus::GdiplusShutdown(token_);
  }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;

  // Drawing with GDI+ works only when this is Ok; what draws checks it itself.
  Gdiplus::Status status() const { return status_; }

 private:
  ULONG_PTR token_ = 0;
  Gdiplus::Status status_ = Gdiplus::GdiplusNotInitialized;
};

}  // namespace brisk
