// The host's hook: a function of the host process that a component calls in
// the middle of its own call, when its member script says "callHost". It
// stands for everything a real component lets run inside a call: a modal form
// of its own, a message loop, a cross-process call, during which the host's
// handlers may release objects or call back in. One hook per thread.
#pragma once

#include <functional>

namespace refsuite {

// Sets (or with null, removes) the calling thread's hook. Each binding offers
// it to hosts in its own way (native.h, RefSuiteSetHostHook).
void InstallHostHook(std::function<void()> hook);

// Runs the calling thread's hook, if it has one. The hook's own failures are
// the host's: nothing it throws is passed on.
void CallHostHook();

}  // namespace refsuite
