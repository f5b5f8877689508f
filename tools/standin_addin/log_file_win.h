// The add-in's log file: whole lines appended one at a time, so that a test
// may read it while the host still runs.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "tools/addin_protocol/addin_log.h"

namespace brisk::addin {

class LogFile {
 public:
  // An empty path records nothing.
  explicit LogFile(std::wstring path) : path_(std::move(path)) {}
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Numbers the record and appends its line. Safe from any thread.
  template <typename Record>
  void Write(Record record) {
    std::lock_guard<std::mutex> lock(mutex_);
    record.seq = ++seq_;
    Append(FormatLogLine(record));
  }

  void Note(const std::string& text) { Write(NoteRecord{0, text}); }

 private:
  void Append(const std::string& line);

  const std::wstring path_;
  std::mutex mutex_;
  std::uint64_t seq_ = 0;
};

}  // namespace brisk::addin
