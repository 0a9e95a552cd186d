#include "tests/proof/allocation_fault.h"

#include <cstdlib>
#include <new>

#include "refsuite/native.h"

namespace wb::proof {

namespace {

// Constant-initialised: usable by operator new before anything else runs.
struct FaultState {
  int fail_at = 0;  // 0: not armed
  int counted = 0;
  bool reached = false;
  int outside = 0;
  void (*at_fault)() = nullptr;
};
thread_local FaultState t_fault;

void* Allocate(std::size_t size) {
  FaultState& s = t_fault;
  if (s.fail_at > 0 && s.outside == 0 && !refsuite::InsideNativeBinding() &&
      ++s.counted == s.fail_at) {
    s.reached = true;
    if (s.at_fault) {
      const AllocationFault::Outside outside;
      s.at_fault();
    }
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(size ? size : 1))
    return p;
  throw std::bad_alloc();
}

void* AllocateOrNull(std::size_t size) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

void AllocationFault::Arm(int k, void (*at_fault)()) {
  t_fault = {k, 0, false, t_fault.outside, at_fault};
}

bool AllocationFault::Disarm() {
  t_fault.fail_at = 0;
  return t_fault.reached;
}

AllocationFault::Outside::Outside() {
  ++t_fault.outside;
}

AllocationFault::Outside::~Outside() {
  --t_fault.outside;
}

}  // namespace wb::proof

// Every form that the sanitizers' runtime would otherwise provide, so that
// each block is allocated and freed by the same pair (malloc and free).
void* operator new(std::size_t size) {
  return wb::proof::Allocate(size);
}
void* operator new[](std::size_t size) {
  return wb::proof::Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return wb::proof::AllocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return wb::proof::AllocateOrNull(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
