#include "trace/trace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace wb::trace {

namespace {

class PosixTraceFile final : public TraceFile {
 public:
  explicit PosixTraceFile(int fd) : fd_(fd) {}
  ~PosixTraceFile() override { ::close(fd_); }
  PosixTraceFile(const PosixTraceFile&) = delete;
  PosixTraceFile& operator=(const PosixTraceFile&) = delete;

  bool Lock() override {
    mutex_.lock();
    // A byte far past any real end, as the Windows copy takes it: the
    // record lock is the process's, the mutex its threads'. Polled, so that
    // a writer that hangs holding it delays a call by the wait alone.
    const auto until = std::chrono::steady_clock::now() + kLockWait;
    do {
      if (LockedByte(F_WRLCK))
        return true;
      ::usleep(1000);
    } while (std::chrono::steady_clock::now() < until);
    mutex_.unlock();
    return false;
  }

  void Unlock() override {
    LockedByte(F_UNLCK);
    mutex_.unlock();
  }

  std::optional<uint64_t> Size() override {
    struct stat info {};
    if (::fstat(fd_, &info) != 0)
      return std::nullopt;
    return static_cast<uint64_t>(info.st_size);
  }

  bool EndsWith(std::string_view end) override {
    std::string tail(end.size() + 1, '\0');
    const std::optional<uint64_t> size = Size();
    return size && *size >= tail.size() &&
           ::pread(fd_, tail.data(), tail.size(), static_cast<off_t>(*size - tail.size())) ==
               static_cast<ssize_t>(tail.size()) &&
           tail.back() == '\n' && std::string_view(tail).substr(0, end.size()) == end;
  }

  // A file that ends inside a line gets its line end.
  bool EndTornLine() {
    if (!Lock())
      return false;
    const std::optional<uint64_t> size = Size();
    char last = '\n';
    const bool ended = size &&
                       (*size == 0 || ::pread(fd_, &last, 1, static_cast<off_t>(*size - 1)) == 1) &&
                       (last == '\n' || AppendLine({}).has_value());
    Unlock();
    return ended;
  }

  std::optional<size_t> AppendLine(std::string_view line) override {
    std::string whole(line);
    whole += '\n';
    // O_APPEND: each write lands at the end as a whole.
    size_t done = 0;
    while (done < whole.size()) {
      const ssize_t n = ::write(fd_, whole.data() + done, whole.size() - done);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        return std::nullopt;
      done += static_cast<size_t>(n);
    }
    return whole.size();
  }

 private:
  static constexpr std::chrono::milliseconds kLockWait{2000};

  bool LockedByte(short type) {
    struct flock byte {};
    byte.l_type = type;
    byte.l_whence = SEEK_SET;
    byte.l_start = static_cast<off_t>(1) << 62;
    byte.l_len = 1;
    return ::fcntl(fd_, F_SETLK, &byte) == 0;
  }

  int fd_;
  std::mutex mutex_;
};

}  // namespace

std::unique_ptr<TraceFile> OpenTraceFile(const std::string& path, bool make_folder) {
  const size_t slash = path.rfind('/');
  if (make_folder && slash != std::string::npos && slash > 0)
    ::mkdir(path.substr(0, slash).c_str(), 0700);
  // Readable by its owner alone: it holds the session's properties.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0)
    return nullptr;
  auto file = std::make_unique<PosixTraceFile>(fd);
  if (!file->EndTornLine())
    return nullptr;
  return file;
}

std::string LocalTimeStamp() {
  timeval now{};
  ::gettimeofday(&now, nullptr);
  std::tm local{};
  ::localtime_r(&now.tv_sec, &local);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(now.tv_usec / 1000));
  return text;
}

uint64_t CurrentThreadId() {
  return static_cast<uint64_t>(::syscall(SYS_gettid));
}

}  // namespace wb::trace
