// Platform services on Windows.
#include <windows.h>

#include <oleauto.h>

#include "core/platform.h"
#include "win/scoped_bstr.h"

namespace wb {

namespace {

// `Screen.MousePointer` of the calling thread.
thread_local int16_t t_pointer = 0;

// The system cursor for a `MousePointer` value; the default arrow for the
// values without a system cursor of their own.
LPCWSTR CursorFor(int16_t pointer) {
  switch (pointer) {
    case 2:
      return IDC_CROSS;
    case 3:
      return IDC_IBEAM;
    case 11:
      return IDC_WAIT;
    case 12:
      return IDC_NO;
    case 13:
      return IDC_APPSTARTING;
    case 14:
      return IDC_HELP;
    case 15:
      return IDC_SIZEALL;
    default:
      return IDC_ARROW;
  }
}

}  // namespace

namespace platform {

uint32_t CurrentProcessId() {
  return GetCurrentProcessId();
}

namespace {

// GCC 12 takes mingw's segment read in NtCurrentTeb for an access to an
// empty array (a false -Warray-bounds, GCC bug 105523).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
const NT_TIB* CurrentTib() noexcept {
  return reinterpret_cast<const NT_TIB*>(NtCurrentTeb());
}
#pragma GCC diagnostic pop

}  // namespace

size_t StackLeft() noexcept {
  // The reserve's lowest address, found once per stack: the committed part
  // (the TIB's StackLimit) lies in the reservation that VirtualQuery names.
  // Keyed by the stack's top, so that a fiber's own stack is looked up anew.
  // (GetCurrentThreadStackLimits would say the same, from Windows 8 on.)
  thread_local uintptr_t t_top = 0;
  thread_local uintptr_t t_floor = 0;
  const NT_TIB* tib = CurrentTib();
  const auto top = reinterpret_cast<uintptr_t>(tib->StackBase);
  if (top != t_top) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(tib->StackLimit, &region, sizeof region) == 0)
      return SIZE_MAX;
    t_floor = reinterpret_cast<uintptr_t>(region.AllocationBase);
    t_top = top;
  }
  const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  return here > t_floor ? here - t_floor : 0;
}

double Now() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  // Whole seconds, as the runtime's Now gives them.
  local.wMilliseconds = 0;
  double date = 0;
  SystemTimeToVariantTime(&local, &date);
  return date;
}

void SetMousePointer(int16_t pointer) {
  t_pointer = pointer;
  SetCursor(LoadCursorW(nullptr, CursorFor(pointer)));
}

int16_t MousePointer() {
  return t_pointer;
}

// Only the native build observes pointer changes.
void SetMousePointerObserver(std::function<void(int16_t)>) {}

String DateToText(double date) {
  win::ScopedBstr text;
  if (FAILED(VarBstrFromDate(date, LOCALE_USER_DEFAULT, 0, text.Receive())))
    return String();
  return text.Text();
}

}  // namespace platform

}  // namespace wb
