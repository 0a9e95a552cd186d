#include "refsuite/mutex.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace refsuite {

#ifdef _WIN32
static_assert(sizeof(SRWLOCK) == sizeof(void*));

void Mutex::lock() {
  AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&srw_lock_));
}
void Mutex::unlock() {
  ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&srw_lock_));
}
#else
void Mutex::lock() {
  mutex_.lock();
}
void Mutex::unlock() {
  mutex_.unlock();
}
#endif

}  // namespace refsuite
