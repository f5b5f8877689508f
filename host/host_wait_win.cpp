#include "host/host_wait_win.h"

#include <comdef.h>
#include <objidl.h>

#include <atomic>
#include <cwchar>
#include <new>
#include <utility>

#include "base/com_apartment.h"
#include "base/com_ref.h"
#include "base/message_wait_win.h"
#include "base/thread_win.h"
#include "host/host_application.h"

namespace brisk {

namespace {

// How soon a call the host declined as busy is made again.
constexpr DWORD kRetryBusyAfterMs = 250;
// How often an open question looks whether the host has answered meanwhile
// (and that it is still on top).
constexpr UINT kQuestionCheckMs = 100;
// How long the end of the host's thread is waited for, when it is not held
// by a host out of reach (it has nothing left to do but leave its
// apartment).
constexpr DWORD kHostThreadEndMs = 10000;
// What MessageBoxW returns for a question closed because the host answered.
constexpr int kClosedUnasked = 0;

// The question a thread shows, for its timer.
struct OpenQuestion {
  HANDLE answered;
  HANDLE hostProcess;  // may be null
};

// A slot of the system's thread-local storage for the question the calling
// thread shows (thread_local would bring the POSIX thread emulation into
// the launcher).
DWORD QuestionSlot() {
  static const DWORD slot = TlsAlloc();
  return slot;
}

const OpenQuestion* QuestionOfThisThread() {
  return QuestionSlot() == TLS_OUT_OF_INDEXES ? nullptr : static_cast<const OpenQuestion*>(TlsGetValue(QuestionSlot()));
}

bool Signalled(HANDLE handle) { return handle && WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }

bool Over(const OpenQuestion& question) { return Signalled(question.answered) || Signalled(question.hostProcess); }

// Only the question: a message box with a Retry button. `close` says
// whether to close it; else it is kept on top, where not every system puts
// a message box of MB_TOPMOST (Wine 8 does not).
BOOL CALLBACK TendQuestionBox(HWND window, LPARAM close) {
  wchar_t className[8] = {};
  GetClassNameW(window, className, 8);
  if (std::wcscmp(className, L"#32770") != 0 || !GetDlgItem(window, IDRETRY)) return TRUE;
  if (close) {
    EndDialog(window, kClosedUnasked);
  } else if (!(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return TRUE;
}

void CALLBACK TendQuestion(HWND, UINT, UINT_PTR, DWORD) {
  const OpenQuestion* open = QuestionOfThisThread();
  if (!open) return;
  EnumThreadWindows(GetCurrentThreadId(), TendQuestionBox, Over(*open) ? 1 : 0);
}

}  // namespace

// What the waiting thread and the host's thread share; the host's thread
// keeps it for as long as it runs, which may be after the HostWait is gone.
// It is also the host's thread's COM message filter.
struct HostWait::Core final : IMessageFilter {
  bool WithinReach() const { return reach.load() == static_cast<int>(HostReach::kWithinReach); }

  // IUnknown: lives as long as its owners; COM's references do not keep it.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMessageFilter) {
      *object = static_cast<IMessageFilter*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  // The launcher serves no objects: whatever arrives is handled as without
  // a filter.
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
    return SERVERCALL_ISHANDLED;
  }
  // A host that is busy (a modal state of its own) is asked again and
  // again, for as long as the user waits; one that rejects a call outright
  // is not.
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD rejectType) override {
    if (rejectType != SERVERCALL_RETRYLATER || !WithinReach()) return static_cast<DWORD>(-1);
    return kRetryBusyAfterMs;
  }
  // A call the user gave up is cancelled where the system can.
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
    return WithinReach() ? PENDINGMSG_WAITDEFPROCESS : PENDINGMSG_CANCELCALL;
  }

  std::atomic<int> reach{static_cast<int>(HostReach::kWithinReach)};
  UniqueHandle request{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  UniqueHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  // The job handed over with `request`: written by the waiting thread only
  // when no job is under way.
  std::shared_ptr<HostJob> slot;
  // The host's object; touched on the host's thread (or on the waiting
  // thread when the host's thread could not be started).
  ComRef<IDispatch> application;
};

// The host's thread: a single-threaded apartment that runs the jobs handed
// to it and serves its messages in between.
void HostWait::Serve(const std::shared_ptr<Core>& core) {
  const ComApartment apartment;
  IMessageFilter* previous = nullptr;
  const bool filtered = SUCCEEDED(CoRegisterMessageFilter(core.get(), &previous));
  const HANDLE wake[] = {core->stop.get(), core->request.get()};
  for (;;) {
    const DWORD woken = MsgWaitForMultipleObjectsEx(2, wake, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) break;
    if (woken == WAIT_OBJECT_0 + 1) {
      if (const std::shared_ptr<HostJob> job = std::move(core->slot)) job->Run(core->application.get());
      continue;
    }
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  // A host out of reach keeps its object: its release would wait for it.
  if (core->WithinReach()) {
    core->application.reset();
  } else {
    core->application.release();
  }
  if (filtered) {
    IMessageFilter* ours = nullptr;
    CoRegisterMessageFilter(previous, &ours);
    if (previous) previous->Release();
  }
}

HostJob::HostJob() : done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

HostJob::~HostJob() {
  if (errorInfo_) errorInfo_->Release();
}

void HostJob::Run(IDispatch* application) {
  try {
    Perform(application);
  } catch (const _com_error& error) {
    failure_ = error.Error();
    errorInfo_ = error.ErrorInfo();
  } catch (const std::bad_alloc&) {
    outOfMemory_ = true;
  } catch (...) {
    failure_ = E_UNEXPECTED;
  }
  SetEvent(done_.get());
}

void HostJob::RaiseFailure() {
  if (outOfMemory_) throw std::bad_alloc();
  if (SUCCEEDED(failure_)) return;
  throw _com_error(failure_, std::exchange(errorInfo_, nullptr));
}

namespace {

// The jobs of the host wait's own.
class StartJob final : public HostJob {
 public:
  explicit StartJob(ComRef<IDispatch>& application) : application_(application) {}
  HRESULT hr = E_UNEXPECTED;

 private:
  void Perform(IDispatch*) override { hr = CreateHostApplication(application_.put()); }
  // Waited for without a question, so never given up: the reference stays
  // valid.
  ComRef<IDispatch>& application_;
};

class MessageJob final : public HostJob {
 public:
  MessageJob(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
      : window_(window), message_(message), wParam_(wParam), lParam_(lParam) {}

 private:
  void Perform(IDispatch*) override { SendMessageW(window_, message_, wParam_, lParam_); }
  const HWND window_;
  const UINT message_;
  const WPARAM wParam_;
  const LPARAM lParam_;
};

}  // namespace

HostWait::HostWait(HostQuestion question, DWORD silenceLimitMs)
    : question_(std::move(question)), silenceLimitMs_(silenceLimitMs), core_(std::make_shared<Core>()) {
  // Without its thread the host is called from the caller's thread, and
  // nobody is asked.
  if (core_->request && core_->stop) thread_ = StartThread([core = core_] { Serve(core); });
}

HostWait::~HostWait() {
  if (!thread_) {
    if (WithinReach()) {
      core_->application.reset();
    } else {
      core_->application.release();
    }
    return;
  }
  SetEvent(core_->stop.get());
  // A thread held by a host out of reach is let go.
  if (WithinReach()) WaitForSingleObject(thread_.get(), kHostThreadEndMs);
}

HostReach HostWait::reach() const { return static_cast<HostReach>(core_->reach.load()); }

void HostWait::MarkGone() { LeaveReach(HostReach::kGone); }

void HostWait::LeaveReach(HostReach why) {
  int expected = static_cast<int>(HostReach::kWithinReach);
  if (!core_->reach.compare_exchange_strong(expected, static_cast<int>(why))) return;
  // COM asks the filter whether to cancel a call only when a message
  // reaches the waiting thread.
  if (thread_) PostThreadMessageW(GetThreadId(thread_.get()), WM_NULL, 0, 0);
}

// Out of reach, a job given up may still be under way on the host's thread:
// the object is not read then.
IDispatch* HostWait::application() const { return WithinReach() ? core_->application.get() : nullptr; }

HRESULT HostWait::StartHost() {
  const auto start = std::make_shared<StartJob>(core_->application);
  Hand(start, nullptr, false);
  return start->hr;
}

void HostWait::ReleaseHost() {
  if (!core_->application || !WithinReach()) return;
  class ReleaseJob final : public HostJob {
   public:
    explicit ReleaseJob(std::shared_ptr<Core> core) : core_(std::move(core)) {}

   private:
    void Perform(IDispatch*) override { core_->application.reset(); }
    const std::shared_ptr<Core> core_;
  };
  Run(std::make_shared<ReleaseJob>(core_));
}

void HostWait::Run(const std::shared_ptr<HostJob>& job) {
  if (!WithinReach()) throw _com_error(RPC_E_CALL_CANCELED);
  if (Hand(job, nullptr, true) != Awaited::kAnswered) throw _com_error(RPC_E_CALL_CANCELED);
  job->RaiseFailure();
}

HostWindowReply HostWait::Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, HANDLE hostProcess) {
  if (!WithinReach()) return reach() == HostReach::kGone ? HostWindowReply::kHostEnded : HostWindowReply::kGivenUp;
  switch (Hand(std::make_shared<MessageJob>(window, message, wParam, lParam), hostProcess, true)) {
    case Awaited::kAnswered:
      break;
    case Awaited::kGivenUp:
      return HostWindowReply::kGivenUp;
    case Awaited::kGone:
      return HostWindowReply::kHostEnded;
  }
  // A send also returns when the window's thread dies while it handles the
  // message: a host whose process has ended, or is ending, is told as such.
  if (Signalled(hostProcess) || !IsWindow(window)) {
    LeaveReach(HostReach::kGone);
    return HostWindowReply::kHostEnded;
  }
  return HostWindowReply::kHandled;
}

HostWait::Awaited HostWait::Hand(const std::shared_ptr<HostJob>& job, HANDLE hostProcess, bool ask) {
  if (!thread_ || !job->done_) {
    job->Run(core_->application.get());
    return Awaited::kAnswered;
  }
  core_->slot = job;
  SetEvent(core_->request.get());
  return Await(*job, hostProcess, ask);
}

HostWait::Awaited HostWait::Await(const HostJob& job, HANDLE hostProcess, bool ask) {
  const HANDLE handles[] = {job.done_.get(), hostProcess};
  const DWORD count = hostProcess ? 2 : 1;
  DWORD clockStart = GetTickCount();
  for (;;) {
    DWORD timeout = INFINITE;
    if (ask) {
      const DWORD silentMs = GetTickCount() - clockStart;
      timeout = silentMs >= silenceLimitMs_ ? 0 : silenceLimitMs_ - silentMs;
    }
    switch (WaitServingSentMessages(count, handles, timeout)) {
      case WAIT_OBJECT_0:
        return Awaited::kAnswered;
      case WAIT_OBJECT_0 + 1:
        LeaveReach(HostReach::kGone);
        return Awaited::kGone;
      case WAIT_TIMEOUT:
        if (Ask(job.done_.get(), hostProcess)) return Awaited::kGivenUp;
        // Retry, or the answer came: a whole limit again.
        clockStart = GetTickCount();
        break;
      default:
        // The wait itself failed: nothing can be waited for any more.
        LeaveReach(HostReach::kGivenUp);
        return Awaited::kGivenUp;
    }
  }
}

bool HostWait::Ask(HANDLE answered, HANDLE hostProcess) {
  ++questionsAsked_;
  const OpenQuestion open{answered, hostProcess};
  const OpenQuestion* const outer = QuestionOfThisThread();
  const bool tended =
      QuestionSlot() != TLS_OUT_OF_INDEXES && TlsSetValue(QuestionSlot(), const_cast<OpenQuestion*>(&open));
  const UINT_PTR timer = tended ? SetTimer(nullptr, 0, kQuestionCheckMs, TendQuestion) : 0;
  const int choice = MessageBoxW(nullptr, question_.text.c_str(), question_.caption.c_str(),
                                 MB_RETRYCANCEL | MB_ICONWARNING | MB_DEFBUTTON1 | MB_TOPMOST | MB_SETFOREGROUND);
  if (timer) KillTimer(nullptr, timer);
  if (tended) TlsSetValue(QuestionSlot(), const_cast<OpenQuestion*>(outer));
  // A Cancel that crossed the host's answer comes too late to give it up.
  if (choice != IDCANCEL || Over(open)) return false;
  LeaveReach(HostReach::kGivenUp);
  return true;
}

}  // namespace brisk
