#include "refsuite/journal.h"

#include "refsuite/host_io.h"

namespace refsuite {

void CallJournal::Write(nlohmann::json entry) noexcept {
  try {
    entry["pid"] = CurrentProcessId();
    const std::optional<std::string> path = GetEnv("WB_SUITE_JOURNAL");
    MutexLock lock(mutex_);
    if (path) {
      AppendLine(*path, entry.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    }
    if (keep_in_memory_)
      entries_.push_back(std::move(entry));
  } catch (...) {
    // Out of memory: the entry is lost, the call goes on.
  }
}

std::vector<nlohmann::json> CallJournal::Entries() const {
  MutexLock lock(mutex_);
  return entries_;
}

void CallJournal::Clear() {
  MutexLock lock(mutex_);
  entries_.clear();
}

void CallJournal::KeepInMemory(bool keep) {
  MutexLock lock(mutex_);
  keep_in_memory_ = keep;
  if (!keep)
    entries_.clear();
}

}  // namespace refsuite
