#include "bridge/convert.h"

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "bridge/bridge.h"
#include "bridge/err.h"
#include "bridge/runtime_errors.h"

namespace wb {

namespace {

// A default value that is itself an object is read again, a bounded number of
// times, so that a component whose value is itself never loops forever.
constexpr int kMaxDefaultDepth = 8;

[[noreturn]] void Mismatch() {
  Err::RaiseRuntime(rt::kTypeMismatch);
}

String FormatReal(double value) {
  if (std::isnan(value) || std::isinf(value))
    Err::RaiseRuntime(rt::kOverflow);
  if (value == 0)
    return u"0";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.15G", value);
  std::string text(buf);
  // The runtime writes exponents without padding beyond two digits ("1E+20",
  // "1E-05") and no trailing zeros in the mantissa, as %G already gives.
  return FromUtf8(text);
}

String FormatIntegral(int64_t value) {
  return FromUtf8(std::to_string(value));
}

// Parses the text of a number: blanks around it, a sign, digits with an
// optional fraction and exponent, or &H / &O notation. False when the text is
// no number.
bool ParseNumber(StringView text, double& out) {
  const StringView t = TrimSpaces(text);
  if (t.empty())
    return false;
  std::string ascii;
  for (char16_t c : t) {
    if (c > 0x7F)
      return false;
    ascii += static_cast<char>(c);
  }
  if (ascii.size() > 2 && ascii[0] == '&') {
    const int base = (ascii[1] == 'H' || ascii[1] == 'h')   ? 16
                     : (ascii[1] == 'O' || ascii[1] == 'o') ? 8
                                                            : 0;
    if (base == 0)
      return false;
    char* end = nullptr;
    const unsigned long long v = std::strtoull(ascii.c_str() + 2, &end, base);
    if (*end != '\0' || v > 0xFFFFFFFFull)
      return false;
    // &H literals are 16- or 32-bit two's complement values.
    out = v <= 0xFFFF ? static_cast<int16_t>(v) : static_cast<double>(static_cast<int32_t>(v));
    return true;
  }
  for (char c : ascii) {
    const bool ok =
        (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E';
    if (!ok)
      return false;
  }
  char* end = nullptr;
  const double v = std::strtod(ascii.c_str(), &end);
  if (end == ascii.c_str() || *end != '\0')
    return false;
  if (std::isinf(v) || std::isnan(v))
    Err::RaiseRuntime(rt::kOverflow);
  out = v;
  return true;
}

double RoundHalfEven(double v) {
  const int saved = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double r = std::nearbyint(v);
  std::fesetround(saved);
  return r;
}

template <class T>
T ToIntegral(const Variant& value) {
  const double d = ToDouble(value);
  const double r = RoundHalfEven(d);
  if (!(r >= static_cast<double>(std::numeric_limits<T>::min()) &&
        r <= static_cast<double>(std::numeric_limits<T>::max()))) {
    Err::RaiseRuntime(rt::kOverflow);
  }
  return static_cast<T>(r);
}

}  // namespace

Variant ValueOf(const Variant& value) {
  Variant v = value;
  for (int depth = 0; v.IsObject(); ++depth) {
    if (depth == kMaxDefaultDepth)
      Err::RaiseRuntime(rt::kNoSuchMember);
    const AutomationObject object = v.object();
    v = GetMember(object, kDefaultMember);
  }
  return v;
}

double ToDouble(const Variant& value) {
  const Variant v = ValueOf(value);
  switch (v.kind()) {
    case VarKind::kEmpty:
      return 0;
    case VarKind::kNull:
      Err::RaiseRuntime(rt::kInvalidUseOfNull);
    case VarKind::kInteger:
    case VarKind::kLong:
    case VarKind::kByte:
    case VarKind::kBoolean:
      return static_cast<double>(v.integral());
    case VarKind::kCurrency:
      return static_cast<double>(v.integral()) / 10000.0;
    case VarKind::kSingle:
    case VarKind::kDouble:
    case VarKind::kDate:
      return v.real();
    case VarKind::kString: {
      double d = 0;
      if (ParseNumber(v.str(), d))
        return d;
      const StringView t = TrimSpaces(v.str());
      if (EqualsIgnoreAsciiCase(t, u"True"))
        return -1;
      if (EqualsIgnoreAsciiCase(t, u"False"))
        return 0;
      Mismatch();
    }
    default:
      Mismatch();
  }
}

int32_t ToLong(const Variant& value) {
  return ToIntegral<int32_t>(value);
}
int16_t ToInteger(const Variant& value) {
  return ToIntegral<int16_t>(value);
}

bool ToBool(const Variant& value) {
  const Variant v = ValueOf(value);
  if (v.IsNull())
    Err::RaiseRuntime(rt::kInvalidUseOfNull);
  return ToDouble(v) != 0;
}

String ToString(const Variant& value) {
  const Variant v = ValueOf(value);
  switch (v.kind()) {
    case VarKind::kEmpty:
      return String();
    case VarKind::kNull:
      Err::RaiseRuntime(rt::kInvalidUseOfNull);
    case VarKind::kString:
      return v.str();
    case VarKind::kBoolean:
      return v.integral() != 0 ? u"True" : u"False";
    case VarKind::kInteger:
    case VarKind::kLong:
    case VarKind::kByte:
      return FormatIntegral(v.integral());
    case VarKind::kCurrency:
      return FormatReal(static_cast<double>(v.integral()) / 10000.0);
    case VarKind::kSingle: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.7G", v.real());
      return FromUtf8(buf);
    }
    case VarKind::kDouble:
      return FormatReal(v.real());
    case VarKind::kDate:
      return DateToText(v.real());
    default:
      Mismatch();
  }
}

Variant Not(const Variant& value) {
  const Variant v = ValueOf(value);
  switch (v.kind()) {
    case VarKind::kNull:
      return Variant::Null();
    case VarKind::kBoolean:
      return Variant::Bool(v.integral() == 0);
    case VarKind::kEmpty:
      return Variant::Integer(-1);
    case VarKind::kInteger:
      return Variant::Integer(static_cast<int16_t>(~v.integral()));
    case VarKind::kByte:
      return Variant::Byte(static_cast<uint8_t>(~v.integral()));
    default:
      return Variant::Long(~ToLong(v));
  }
}

bool ConditionHolds(const Variant& value) {
  const Variant v = ValueOf(value);
  if (v.IsNull())
    return false;
  return ToBool(v);
}

bool PassesAnswerTest(const Variant& answer) {
  return !ConditionHolds(Not(answer));
}

bool DiffersFromText(const Variant& value, StringView text) {
  const Variant v = ValueOf(value);
  switch (v.kind()) {
    case VarKind::kNull:
      return false;
    case VarKind::kEmpty:
      return !text.empty();
    case VarKind::kString:
      return v.str() != text;
    case VarKind::kUnsupported:
    case VarKind::kError:
      Mismatch();
    default:
      return true;
  }
}

}  // namespace wb
