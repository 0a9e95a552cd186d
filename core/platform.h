// The few platform services the portable modules use. Windows and the native
// build each provide them (platform_win.cc, platform_posix.cc).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/text.h"

namespace wb::platform {

// kernel32's GetCurrentProcessId (the process id elsewhere).
uint32_t CurrentProcessId();

// The bytes of stack that the calling thread has left below the caller's
// frame, down to the end of the thread's stack reserve (not merely what is
// committed so far); SIZE_MAX when the platform cannot tell.
size_t StackLeft() noexcept;

// The current local date and time as a date value (days since 1899-12-30).
double Now();

// A date value as text, the way the platform's default date-to-text
// conversion gives it for the user's locale (the date, a blank, the time):
// VarBstrFromDate on Windows, y/m/d h:mm:ss natively. Natively a date outside
// the years 100 to 9999 raises 6 (overflow).
String DateToText(double date);

// The screen's mouse pointer (`Screen.MousePointer`); 0 is the default arrow.
void SetMousePointer(int16_t pointer);
int16_t MousePointer();

// Native build only: observes every pointer change (tests order it against
// component calls). Ignored on Windows.
void SetMousePointerObserver(std::function<void(int16_t)> observer);

}  // namespace wb::platform
