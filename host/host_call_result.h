// What a failed call to the host means, from its HRESULT alone: whether the
// host's process went away, whether the host is only busy, and whether a
// failed start may succeed when tried again. Portable, so that the tables are
// tested natively; the codes are the system's COM and RPC results.
#pragma once

#include <cstdint>

namespace brisk {

namespace host_result {
inline constexpr std::uint32_t kCallRejected = 0x80010001;          // RPC_E_CALL_REJECTED
inline constexpr std::uint32_t kCallCanceled = 0x80010002;          // RPC_E_CALL_CANCELED
inline constexpr std::uint32_t kServerDied = 0x80010007;            // RPC_E_SERVER_DIED
inline constexpr std::uint32_t kServerDiedDne = 0x80010012;         // RPC_E_SERVER_DIED_DNE
inline constexpr std::uint32_t kDisconnected = 0x80010108;          // RPC_E_DISCONNECTED
inline constexpr std::uint32_t kServerCallRetryLater = 0x8001010A;  // RPC_E_SERVERCALL_RETRYLATER
inline constexpr std::uint32_t kServerUnavailable = 0x800706BA;     // RPC_S_SERVER_UNAVAILABLE
inline constexpr std::uint32_t kCallFailed = 0x800706BE;            // RPC_S_CALL_FAILED
inline constexpr std::uint32_t kCallFailedDne = 0x800706BF;         // RPC_S_CALL_FAILED_DNE
inline constexpr std::uint32_t kObjectNotConnected = 0x800401FD;    // CO_E_OBJNOTCONNECTED
inline constexpr std::uint32_t kServerStopping = 0x80080008;        // CO_E_SERVER_STOPPING
inline constexpr std::uint32_t kClassNotRegistered = 0x80040154;    // REGDB_E_CLASSNOTREG
inline constexpr std::uint32_t kClassString = 0x800401F3;           // CO_E_CLASSSTRING
inline constexpr std::uint32_t kReadRegistry = 0x80040150;          // REGDB_E_READREGDB
inline constexpr std::uint32_t kAppNotFound = 0x800401F5;           // CO_E_APPNOTFOUND
inline constexpr std::uint32_t kAccessDenied = 0x80070005;          // E_ACCESSDENIED
inline constexpr std::uint32_t kOutOfMemory = 0x8007000E;           // E_OUTOFMEMORY
}  // namespace host_result

// The call failed because the host's process ended or its connection broke
// (it died, or ended while the call was under way). A call that was cancelled
// because the host did not answer in time is no sign of a dead host, nor is
// an object that the living host has disconnected, nor a busy host.
constexpr bool HostProcessIsGone(std::uint32_t hr) {
  switch (hr) {
    case host_result::kServerDied:
    case host_result::kServerDiedDne:
    case host_result::kServerUnavailable:
    case host_result::kCallFailed:
    case host_result::kCallFailedDne:
      return true;
    default:
      return false;
  }
}

// The call got no answer: it was cancelled (the user gave the host up while
// it waited) or rejected (the host refused it, or was still busy when the
// user gave it up). Whatever the member would have answered, it did not.
constexpr bool HostCallNotAnswered(std::uint32_t hr) {
  return hr == host_result::kCallCanceled || hr == host_result::kCallRejected;
}

// The host is alive but declined to take the call now (a modal state, a
// message filter of its own); the call may be made again.
constexpr bool HostIsBusy(std::uint32_t hr) {
  return hr == host_result::kServerCallRetryLater || hr == host_result::kCallRejected;
}

// Whether a failed start may succeed when tried once more. Never when the
// host is not installed or not allowed to start (the same again); always
// for what a host answers that was reached while it served another client,
// or while it was ending; any other failure only when it came back quickly
// (`cameBackQuickly`). A failure that took the system's activation time-out
// is not tried again: a second attempt would keep the user waiting as long
// again with nothing on screen.
constexpr bool HostStartMayBeRetried(std::uint32_t hr, bool cameBackQuickly) {
  switch (hr) {
    case host_result::kClassNotRegistered:
    case host_result::kClassString:
    case host_result::kReadRegistry:
    case host_result::kAppNotFound:
    case host_result::kAccessDenied:
    case host_result::kOutOfMemory:
      return false;
    case host_result::kServerStopping:
    case host_result::kDisconnected:
    case host_result::kObjectNotConnected:
    case host_result::kServerUnavailable:
    case host_result::kServerDied:
    case host_result::kServerDiedDne:
    case host_result::kServerCallRetryLater:
    case host_result::kCallRejected:
      return true;
    default:
      return cameBackQuickly;
  }
}

}  // namespace brisk
