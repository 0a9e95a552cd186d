// Check reporting for the Windows test programs that the Wine harness runs,
// beside checks.vbs, checks.js and checks.sh: first the plan line `1..N` (the
// number of checks the program will report), then one line per check,
// `ok - <name>` or `not ok - <name>: <details>`; the program exits with the
// number of failures. The harness fails a program that reports other checks
// than it planned: one that stops early or skips a block. Below them, what
// the programs share to build and read VARIANTs and statuses.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "core/err.h"
#include "core/text.h"
#include "win/scoped_variant.h"

namespace wbtest {

class Checks {
 public:
  // Before the first check, as soon as the number is known.
  void Plan(int checks) {
    std::printf("1..%d\n", checks);
    std::fflush(stdout);
  }

  void Expect(bool passed, std::string_view name, std::string_view details = {}) {
    if (passed) {
      std::printf("ok - %.*s\n", static_cast<int>(name.size()), name.data());
    } else {
      ++failed_;
      std::printf("not ok - %.*s: %.*s\n", static_cast<int>(name.size()), name.data(),
                  static_cast<int>(details.size()), details.data());
    }
    std::fflush(stdout);
  }

  void ExpectEq(long long actual, long long expected, std::string_view name) {
    Expect(actual == expected, name,
           "got " + std::to_string(actual) + ", want " + std::to_string(expected));
  }

  void ExpectEq(const wb::String& actual, const wb::String& expected, std::string_view name) {
    Expect(actual == expected, name,
           "got \"" + wb::ToUtf8(actual) + "\", want \"" + wb::ToUtf8(expected) + "\"");
  }

  // The program's exit code.
  int Finish() const { return failed_; }

 private:
  int failed_ = 0;
};

// The thread's error record as one line of text.
inline std::string ErrText() {
  const wb::ErrRecord& e = wb::Err::Get();
  return "Err " + std::to_string(e.number) + " (" + wb::ToUtf8(e.source) +
         "): " + wb::ToUtf8(e.description) + " [" + wb::ToUtf8(e.help_file) + " #" +
         std::to_string(e.help_context) + "]";
}

// A status, flags or an error code as "0x800a0005"; a pointer or a handle as
// the platform prints one.
inline std::string Hex(unsigned long value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lx", value);
  return text;
}
inline std::string Hex(const void* pointer) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", pointer);
  return text;
}

inline void ExpectHr(Checks& t, HRESULT actual, HRESULT expected, std::string_view name) {
  t.Expect(actual == expected, name, "got " + Hex(actual) + ", want " + Hex(expected));
}

// A by-reference argument, as VB6 passes a Long variable and VBScript its
// own variable: it owns nothing, `target` must outlive it.
inline wb::win::ScopedVariant RefTo(LONG& target) noexcept {
  VARIANT ref;
  VariantInit(&ref);
  V_VT(&ref) = VT_BYREF | VT_I4;
  V_I4REF(&ref) = &target;
  wb::win::ScopedVariant out;
  out.Reset(ref);
  return out;
}
inline wb::win::ScopedVariant RefTo(wb::win::ScopedVariant& target) noexcept {
  VARIANT ref;
  VariantInit(&ref);
  V_VT(&ref) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&ref) = target.AsInput();
  wb::win::ScopedVariant out;
  out.Reset(ref);
  return out;
}

}  // namespace wbtest
