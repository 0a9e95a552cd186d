// A plain mutex for the suite's shared tables. The mingw runtime of the
// Windows builds has no std::mutex (win32 thread model), so Windows uses a
// slim reader/writer lock, other platforms std::mutex.
#pragma once

#ifndef _WIN32
#include <mutex>
#endif

namespace refsuite {

class Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void lock();
  void unlock();

 private:
#ifdef _WIN32
  void* srw_lock_ = nullptr;  // an SRWLOCK, statically initialised
#else
  std::mutex mutex_;
#endif
};

class MutexLock {
 public:
  explicit MutexLock(Mutex& mutex) : mutex_(mutex) { mutex_.lock(); }
  ~MutexLock() { mutex_.unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mutex_;
};

}  // namespace refsuite
