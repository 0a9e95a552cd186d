// One allocation of the product failing on purpose.
//
// The proof's test binary replaces the global operator new and delete
// (allocation_fault.cc). Once armed on a thread, the k-th allocation that the
// thread makes throws std::bad_alloc, once; the ones after it succeed again.
// What the reference suite allocates inside its native binding, and what an
// `Outside` scope allocates (the test's own stand-ins), is neither counted nor
// failed: only the product's allocations are.
#pragma once

namespace wb::proof {

class AllocationFault {
 public:
  // From now on the calling thread's allocation number `k` (from 1) fails;
  // `at_fault`, when given, runs just before, outside the count.
  static void Arm(int k, void (*at_fault)() = nullptr);
  // Stops counting; returns whether the fault was reached.
  static bool Disarm();

  class Outside {
   public:
    Outside();
    ~Outside();
    Outside(const Outside&) = delete;
    Outside& operator=(const Outside&) = delete;
  };
};

}  // namespace wb::proof
