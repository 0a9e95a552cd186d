#include <pthread.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <ctime>

#include "core/err.h"
#include "core/platform.h"
#include "core/runtime_errors.h"

namespace wb {

namespace {
thread_local int16_t t_pointer = 0;
thread_local std::function<void(int16_t)>* t_observer = nullptr;
}  // namespace

namespace platform {

uint32_t CurrentProcessId() {
  return static_cast<uint32_t>(::getpid());
}

size_t StackLeft() noexcept {
  // The lowest address of the thread's stack, asked once per thread (for the
  // main thread glibc reads the process's mappings).
  thread_local uintptr_t t_floor = 0;
  if (t_floor == 0) {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0)
      return SIZE_MAX;
    void* low = nullptr;
    size_t size = 0;
    const int rc = pthread_attr_getstack(&attr, &low, &size);
    pthread_attr_destroy(&attr);
    if (rc != 0 || low == nullptr)
      return SIZE_MAX;
    t_floor = reinterpret_cast<uintptr_t>(low);
  }
  const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  return here > t_floor ? here - t_floor : 0;
}

double Now() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  // Days from 1899-12-30 to the civil date, by the days-from-civil algorithm.
  const int y = local.tm_year + 1900 - (local.tm_mon < 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int m = local.tm_mon + 1;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + local.tm_mday - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long days_since_1970 = static_cast<long>(era) * 146097 + doe - 719468;
  const double day = static_cast<double>(days_since_1970 + 25569);
  return day + (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
}

void SetMousePointer(int16_t pointer) {
  t_pointer = pointer;
  if (t_observer && *t_observer)
    (*t_observer)(pointer);
}

int16_t MousePointer() {
  return t_pointer;
}

void SetMousePointerObserver(std::function<void(int16_t)> observer) {
  delete t_observer;
  t_observer = observer ? new std::function<void(int16_t)>(std::move(observer)) : nullptr;
}

// The native build's stand-in for the locale's default form.
String DateToText(double date) {
  // The runtime's dates run from the year 100 to the year 9999.
  if (!(date >= -657434.0 && date < 2958466.0))
    Err::RaiseRuntime(rt::kOverflow);
  double whole = std::floor(date);
  long secs = std::lround((date - whole) * 86400.0);
  if (secs >= 86400) {
    secs -= 86400;
    whole += 1;
  }
  // Civil date from days since 1970-01-01.
  const long z = static_cast<long>(whole) - 25569 + 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  const long d = doy - (153 * mp + 2) / 5 + 1;
  const long m = mp < 10 ? mp + 3 : mp - 9;
  const long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%ld/%ld/%ld %ld:%02ld:%02ld", y, m, d, secs / 3600,
                (secs / 60) % 60, secs % 60);
  return FromUtf8(buf);
}

}  // namespace platform

}  // namespace wb
