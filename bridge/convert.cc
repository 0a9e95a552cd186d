#include "bridge/convert.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <type_traits>

#include "bridge/bridge.h"
#include "core/err.h"
#include "core/platform.h"
#include "core/runtime_errors.h"

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

// A Currency exactly, as the platform writes it: every digit of the whole
// part, the four decimals without their trailing zeros.
String FormatCurrency(int64_t scaled) {
  const bool negative = scaled < 0;
  const uint64_t magnitude =
      negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string text = negative ? "-" : "";
  text += std::to_string(magnitude / 10000);
  if (const auto decimals = static_cast<unsigned>(magnitude % 10000); decimals != 0) {
    char buf[8];
    std::snprintf(buf, sizeof buf, ".%04u", decimals);
    std::string fraction(buf);
    while (fraction.back() == '0')
      fraction.pop_back();
    text += fraction;
  }
  return FromUtf8(text);
}

// The runtime's dates run from 100-01-01 (-657434) to 9999-12-31 (2958465),
// with the time of day as the fraction.
constexpr double kFirstDay = -657434;
constexpr double kLastDay = 2958465;

// The blanks that may surround the text of a number (Unicode's white space).
bool IsBlank(char16_t c) {
  return c == u' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

int DigitValue(char16_t c, int base) {
  int d = base;
  if (c >= u'0' && c <= u'9')
    d = c - u'0';
  else if (c >= u'a' && c <= u'f')
    d = c - u'a' + 10;
  else if (c >= u'A' && c <= u'F')
    d = c - u'A' + 10;
  return d < base ? d : -1;
}

// What the text of a number says: a decimal number, or the bits of &H / &O
// digits, whose width the target decides.
struct TextNumber {
  enum class Form { kNone, kDecimal, kRadix };
  Form form = Form::kNone;
  bool negative = false;
  double value = 0;    // kDecimal, with its sign
  std::string digits;  // kDecimal: every digit, without the decimal point
  int64_t point = 0;   // kDecimal: how many of `digits` (or zeros past them) are whole
  uint64_t bits = 0;   // kRadix
};

// Reads a number the way the platform's parser does for the automation
// conversions: blanks around it; a sign ('+', '-' or parentheses) before or
// after it; decimal digits with thousands separators (',') after
// the first digit, a decimal point and an exponent, or &H / &O digits (which
// take no sign: the platform reads "-&H10" as 16). The separators are the
// stores' locale's ('.' and ','). Form::kNone when the text is no number;
// raises 6 when it is one beyond a Double, or beyond 64 bits of &H / &O digits.
TextNumber ParseText(StringView text) {
  const size_t n = text.size();
  size_t i = 0;
  bool plus = false, minus = false, open = false, closed = false;
  for (; i < n; ++i) {
    const char16_t c = text[i];
    if (IsBlank(c)) {
      continue;
    } else if (c == u'+' && !plus) {
      plus = true;
    } else if (c == u'-' && !minus) {
      minus = true;
    } else if (c == u'(' && !open) {
      open = true;
    } else {
      break;
    }
  }

  TextNumber out;
  bool overflow = false;
  if (i + 1 < n && text[i] == u'&' &&
      (text[i + 1] == u'H' || text[i + 1] == u'h' || text[i + 1] == u'O' || text[i + 1] == u'o')) {
    const bool hex = text[i + 1] == u'H' || text[i + 1] == u'h';
    const int shift = hex ? 4 : 3;
    size_t digits = 0;
    for (i += 2; i < n; ++i, ++digits) {
      const int d = DigitValue(text[i], hex ? 16 : 8);
      if (d < 0)
        break;
      overflow = overflow || (out.bits >> (64 - shift)) != 0;
      out.bits = (out.bits << shift) | static_cast<uint64_t>(d);
    }
    if (digits == 0)
      return {};
    out.form = TextNumber::Form::kRadix;
  } else {
    bool point = false;
    for (; i < n; ++i) {
      const char16_t c = text[i];
      if (c >= u'0' && c <= u'9') {
        out.digits += static_cast<char>(c);
        out.point += point ? 0 : 1;
      } else if (c == u'.' && !point) {
        point = true;
      } else if (c != u',' || out.digits.empty()) {
        break;
      }
    }
    if (out.digits.empty())
      return {};
    int64_t exponent = 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
      ++i;
      const bool negative_exponent = i < n && text[i] == u'-';
      if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
      const size_t first = i;
      // Beyond a million the number is zero or beyond any Double either way.
      for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i)
        exponent = std::min<int64_t>(exponent * 10 + (text[i] - u'0'), 1000000);
      if (i == first)
        return {};
      exponent = negative_exponent ? -exponent : exponent;
    }
    out.point += exponent;
    out.form = TextNumber::Form::kDecimal;
    const std::string c_text = "." + out.digits + "e" + std::to_string(out.point);
    out.value = std::strtod(c_text.c_str(), nullptr);
    overflow = std::isinf(out.value);
  }

  for (; i < n; ++i) {
    const char16_t c = text[i];
    if (IsBlank(c)) {
      continue;
    } else if (c == u'+' && !plus) {
      plus = true;
    } else if (c == u'-' && !minus) {
      minus = true;
    } else if (c == u')' && open) {
      closed = true;
    } else {
      return {};
    }
  }
  if (open != closed)
    return {};
  if (overflow)
    Err::RaiseRuntime(rt::kOverflow);
  out.negative = minus || open;
  if (out.negative)
    out.value = -out.value;
  return out;
}

// The whole number nearest to a decimal text, ties to even, from its digits
// (as the platform rounds a text, which is not always the nearest of its
// Double: "2.50000000000000001" is 3).
template <class T>
T RoundedValue(const TextNumber& number) {
  const std::string& digits = number.digits;
  const auto size = static_cast<int64_t>(digits.size());
  uint64_t whole = 0;
  for (int64_t k = 0; k < number.point && (k < size || whole != 0); ++k) {
    const unsigned d = k < size ? static_cast<unsigned>(digits[k] - '0') : 0;
    if (whole > (std::numeric_limits<uint64_t>::max() - d) / 10)
      Err::RaiseRuntime(rt::kOverflow);
    whole = whole * 10 + d;
  }
  // The fraction's first digit decides, and on a 5 the digits after it.
  if (number.point >= 0 && number.point < size) {
    const char first = digits[number.point];
    const bool beyond_half =
        first > '5' ||
        (first == '5' && digits.find_first_not_of('0', number.point + 1) != std::string::npos);
    if (beyond_half || (first == '5' && (whole & 1) != 0))
      ++whole;
  }
  const auto max = static_cast<uint64_t>(std::numeric_limits<T>::max());
  if (whole > (number.negative ? max + 1 : max))
    Err::RaiseRuntime(rt::kOverflow);
  return static_cast<T>(number.negative ? 0 - whole : whole);
}

// &H / &O digits as a number of the target's width: two's complement, so
// that "&HFFFF" is -1 as an Integer but 65535 as a Long or a Double.
template <class T>
T RadixValue(uint64_t bits) {
  if (bits > static_cast<std::make_unsigned_t<T>>(-1))
    Err::RaiseRuntime(rt::kOverflow);
  return static_cast<T>(bits);
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
  const Variant v = ValueOf(value);
  if (v.IsString()) {
    const TextNumber number = ParseText(v.str());
    if (number.form == TextNumber::Form::kRadix)
      return RadixValue<T>(number.bits);
    if (number.form == TextNumber::Form::kDecimal)
      return RoundedValue<T>(number);
  }
  const double d = ToDouble(v);
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
    const ObjectRef object = v.object();
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
      const TextNumber number = ParseText(v.str());
      if (number.form == TextNumber::Form::kDecimal)
        return number.value;
      if (number.form == TextNumber::Form::kRadix)
        return RadixValue<int32_t>(number.bits);
      // The runtime's own reading of a text as a number also takes the
      // Boolean words (the platform's does not).
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
  // The platform also takes the Boolean literals of the runtime's files.
  if (v.IsString() && v.str() == u"#TRUE#")
    return true;
  if (v.IsString() && v.str() == u"#FALSE#")
    return false;
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
      return FormatCurrency(v.integral());
    case VarKind::kSingle: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.7G", v.real());
      return FromUtf8(buf);
    }
    case VarKind::kDouble:
      return FormatReal(v.real());
    case VarKind::kDate:
      // A value outside the runtime's dates (or NaN) has no date text.
      if (!(v.real() > kFirstDay - 1 && v.real() < kLastDay + 1))
        Err::RaiseRuntime(rt::kOverflow);
      return platform::DateToText(v.real());
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
