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

// The host is alive but declined to take the call now (a modal state, a
// message filter of its own); the call may be made again.
constexpr bool HostIsBusy(std::uint32_t hr) {
  return hr == host_result::kServerCallRetryLater || hr == host_result::kCallRejected;
}

// Whether a failed start may succeed when tried once more: only what a host
// that was reached while it served another client, or while it was ending,
// answers. Everything else (not installed, access denied, the system's
// activation time-out) fails the same way again, and a second attempt would
// only keep the user waiting with nothing on screen.
constexpr bool HostStartMayBeRetried(std::uint32_t hr) {
  switch (hr) {
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
      return false;
  }
}

}  // namespace brisk
