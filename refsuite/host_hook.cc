#include "refsuite/host_hook.h"

#include <utility>

namespace refsuite {

namespace {

std::function<void()>& Hook() {
  thread_local std::function<void()> hook;
  return hook;
}

}  // namespace

void InstallHostHook(std::function<void()> hook) {
  Hook() = std::move(hook);
}

void CallHostHook() {
  // A copy: the hook may set another (or none) while it runs.
  const std::function<void()> hook = Hook();
  if (!hook)
    return;
  try {
    hook();
  } catch (...) {
  }
}

}  // namespace refsuite
