// The bridge's own conversions against the platform's. Every value of the
// table below (values of each kind the suite's components answer with) is
// made a VARIANT, as a component would answer it, and converted twice: by the
// bridge (FromComVariant, then wb::ToString, ToLong, ToInteger, ToDouble,
// ToBool) and by the platform (VariantChangeTypeEx for the user's locale, no
// flags, to VT_BSTR, VT_I4, VT_I2, VT_R8 and VT_BOOL, as every other
// automation client of the host converts).
// Both must give the same text, the same number or the same error (an HRESULT
// counts as the number the bridge maps it to: DISP_E_TYPEMISMATCH 13,
// DISP_E_OVERFLOW 6). The answers that differ on purpose are listed in kKept
// with both sides' outcome and the reason, so that a change on either side
// shows.
//
// The platform's answers follow the user locale: the suite runs this with
// zh-CN, the stores' locale (LC_ALL=zh_CN.UTF-8), and the first check fails
// when the locale is another one.
#include <windows.h>

#include <oleauto.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "bridge/com_errors.h"
#include "bridge/com_variant.h"
#include "bridge/convert.h"
#include "core/trap.h"
#include "win/scoped_bstr.h"
#include "win/scoped_variant.h"
#include "tests/wine/lib/checks.h"

namespace {

using wb::Variant;

wbtest::Checks checks;

enum class Target { kString, kLong, kInteger, kDouble, kBoolean };

struct TargetInfo {
  Target target;
  const char* name;
  VARTYPE vt;
};

constexpr TargetInfo kTargets[] = {
    {Target::kString, "String", VT_BSTR},   {Target::kLong, "Long", VT_I4},
    {Target::kInteger, "Integer", VT_I2},   {Target::kDouble, "Double", VT_R8},
    {Target::kBoolean, "Boolean", VT_BOOL},
};

// ---- Showing values ---------------------------------------------------------

// The shortest text that reads back as the same double.
std::string ShowReal(double d) {
  if (std::isnan(d))
    return "NaN";
  if (std::isinf(d))
    return d > 0 ? "Inf" : "-Inf";
  char buf[40];
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(buf, sizeof buf, "%.*g", digits, d);
    if (std::strtod(buf, nullptr) == d)
      break;
  }
  return buf;
}

std::string ShowText(const wb::String& text) {
  std::string out = "\"";
  for (char16_t c : text) {
    if (c == u'\t') {
      out += "\\t";
    } else if (c == u'"') {
      out += "\\\"";
    } else if (c < 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0x1680 ||
               (c >= 0x2000 && c <= 0x206F) || c == 0x3000 || c == 0xFEFF ||
               (c >= 0xD800 && c <= 0xDFFF)) {
      // Controls, blanks and invisible characters by their code.
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
      out += buf;
    } else {
      out += wb::ToUtf8(wb::StringView(&c, 1));
    }
  }
  return out + "\"";
}

std::string ShowCurrency(int64_t scaled) {
  const char* sign = scaled < 0 ? "-" : "";
  const uint64_t magnitude =
      scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%s%llu.%04llu", sign,
                static_cast<unsigned long long>(magnitude / 10000),
                static_cast<unsigned long long>(magnitude % 10000));
  return buf;
}

// The table's name of a value: its kind and its literal.
std::string Label(const Variant& v) {
  std::string kind = wb::KindName(v.kind());
  switch (v.kind()) {
    case wb::VarKind::kEmpty:
    case wb::VarKind::kNull:
      return kind;
    case wb::VarKind::kString:
      return kind + "(" + ShowText(v.str()) + ")";
    case wb::VarKind::kSingle:
    case wb::VarKind::kDouble:
    case wb::VarKind::kDate:
      return kind + "(" + ShowReal(v.real()) + ")";
    case wb::VarKind::kCurrency:
      return kind + "(" + ShowCurrency(v.integral()) + ")";
    case wb::VarKind::kBoolean:
      return kind + (v.integral() != 0 ? "(True)" : "(False)");
    default:
      return kind + "(" + std::to_string(v.integral()) + ")";
  }
}

// ---- The two sides ------------------------------------------------------------

// What a conversion gave: an error number, or a value shown as text.
struct Outcome {
  int32_t error = 0;
  std::string value;

  std::string Show() const { return error != 0 ? "error " + std::to_string(error) : value; }
  bool operator==(const Outcome&) const = default;
};

// The bridge reads the VARIANT as it reads a component's answer, then converts.
Outcome BridgeSays(const VARIANT& answer, Target target) {
  Outcome out;
  const wb::ErrRecord e = wb::CaptureError([&] {
    const Variant v = wb::FromComVariant(answer);
    switch (target) {
      case Target::kString:
        out.value = ShowText(wb::ToString(v));
        break;
      case Target::kLong:
        out.value = std::to_string(wb::ToLong(v));
        break;
      case Target::kInteger:
        out.value = std::to_string(wb::ToInteger(v));
        break;
      case Target::kDouble:
        out.value = ShowReal(wb::ToDouble(v));
        break;
      case Target::kBoolean:
        out.value = wb::ToBool(v) ? "True" : "False";
        break;
    }
  });
  if (e.number != 0)
    return Outcome{e.number, {}};
  return out;
}

// The platform converts the same VARIANT (the source stays as it is) for the
// user's locale, as VariantChangeType at the COM boundary and the bridge's
// VarBstrFromDate do.
Outcome PlatformSays(const VARIANT& answer, const TargetInfo& target) {
  wb::win::ScopedVariant converted;
  const HRESULT hr = VariantChangeTypeEx(converted.Receive(), const_cast<VARIANT*>(&answer),
                                         LOCALE_USER_DEFAULT, 0, target.vt);
  if (FAILED(hr))
    return Outcome{wb::ErrNumberFromHResult(hr), {}};
  const VARIANT& c = converted.Get();
  if (V_VT(&c) != target.vt)
    return Outcome{0, "VARTYPE " + std::to_string(V_VT(&c))};
  switch (target.target) {
    case Target::kString:
      return Outcome{0, ShowText(wb::win::ScopedBstr::TextOf(V_BSTR(&c)))};
    case Target::kLong:
      return Outcome{0, std::to_string(V_I4(&c))};
    case Target::kInteger:
      return Outcome{0, std::to_string(V_I2(&c))};
    case Target::kDouble:
      return Outcome{0, ShowReal(V_R8(&c))};
    case Target::kBoolean:
      return Outcome{0, V_BOOL(&c) == VARIANT_TRUE ? "True"
                        : V_BOOL(&c) == VARIANT_FALSE
                            ? "False"
                            : "VARIANT_BOOL " + std::to_string(V_BOOL(&c))};
  }
  return Outcome{};
}

// ---- The values -----------------------------------------------------------------

// A date value from its civil date and time.
double DateOf(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  st.wHour = static_cast<WORD>(hour);
  st.wMinute = static_cast<WORD>(minute);
  st.wSecond = static_cast<WORD>(second);
  double date = 0;
  SystemTimeToVariantTime(&st, &date);
  return date;
}

// Texts that components answer with where a number is expected, and texts
// that are nearly numbers.
constexpr const char16_t* kTexts[] = {
    // Blanks and signs.
    u"", u" ", u"0", u" 12 ", u"+3", u"-0", u"-7", u"- 5", u"+ 5", u"5-", u"5 - ", u"5+", u"+-1",
    u"-+1", u"--1", u"+5+", u"-5-", u"(5)", u"(-5)", u"-(5)", u"(5)-", u"(5))", u"(5", u"5)",
    u"((5))",
    // Decimals, exponents and thousands separators.
    u"1.5", u"2.5", u" -2.5 ", u"3.", u".5", u"-.5", u"0.1", u".", u"1.", u"1e3", u"1E+3", u"1E2",
    u"+.5e1", u"1e", u"e3", u"1e+", u"1d2", u"1,000", u"1,000.5", u"1,2", u",5", u"1,", u",",
    u"1,,2", u"1.5,0", u"1e3,0",
    // The limits of the integer kinds, and rounding.
    u"32767", u"32768", u"-32768", u"-32769", u"32767.5", u"-32768.5", u"2147483647", u"2147483648",
    u"-2147483648", u"2147483647.5", u"99999999999", u"1800201", u"2.50000000000000001",
    u"1.49999999999999999",
    // The precision and range of a Double.
    u"3.14159265358979323846", u"123456789012345678901234567890", u"0.000000000000000000001",
    u"1e308", u"1.8e308", u"1e400", u"1e-400", u"4.9e-324", u"2.5e-324", u"1e99999999999",
    u"1e-99999999999", u"0.00000000000000000000000000000000000000005e40",
    // &H and &O.
    u"&H10", u"&h1f", u"&HFFFF", u"&H8000", u"-&H8000", u"&H10000", u"&H7FFFFFFF", u"&HFFFFFFFF",
    u"&H100000000", u"&HFFFFFFFFFFFFFFFF", u"&H10000000000000000", u" &H10 ", u"-&H10", u"(&H10)",
    u"&H10-", u"&H-10", u"&H", u"&HG", u"0x10", u"&O17", u"&O177777", u"&O37777777777", u"&O8",
    // Blanks other than the space, and characters that are no blanks.
    u"\t7", u"7\t", u"\n7", u"7\r\n", u"\v7", u"\f7", u"\u001F7", u"\u00857", u"\u00A07",
    u"\u16807", u"\u20007", u"\u200A7", u"\u200B7", u"\u20287", u"\u20297", u"\u202F7", u"\u205F7",
    u"\u30007", u"7\u3000", u"\uFEFF7",
    // Currency symbols: the locale's (U+00A5 in zh-CN) and others.
    u"\u00A512", u"12\u00A5", u"$12", u"\uFFE512",
    // Words, and texts of other kinds.
    u"abc", u"12abc", u"1.2.3", u"\uFF11\uFF12", u"True", u"TRUE", u"false", u" TRUE ", u"\tTrue",
    u"#TRUE#", u"#FALSE#", u"#true#", u" #TRUE#", u"Yes", u"2026/12/8", u"12:00:00"};

std::vector<Variant> Values() {
  std::vector<Variant> values = {Variant(), Variant::Null(), Variant::Bool(true),
                                 Variant::Bool(false)};
  for (int16_t i : {int16_t{-32768}, int16_t{-1}, int16_t{0}, int16_t{32767}})
    values.push_back(Variant::Integer(i));
  for (int32_t l : {std::numeric_limits<int32_t>::min(), -32769, 32768, 1800201,
                    std::numeric_limits<int32_t>::max()}) {
    values.push_back(Variant::Long(l));
  }
  for (uint8_t b : {uint8_t{0}, uint8_t{1}, uint8_t{255}})
    values.push_back(Variant::Byte(b));
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double kInf = std::numeric_limits<double>::infinity();
  for (double d : {// Halves: ties go to the even neighbour.
                   0.5, 1.5, 2.5, 3.5, -0.5, -1.5, -2.5, 0.49999999999999994, 32767.5, -32768.5,
                   32766.5, 2147483647.4, 2147483647.5, -2147483648.5, -2147483649.0, 3e9,
                   // Texts: 15 digits, then exponents.
                   1.2345, -0.1, 0.1, 1.0 / 3, 100.0, 1e15, 123456789012345.0, 1234567890123456.0,
                   1e16, 1e20, 1e-4, 1e-5, 1.5e-7, 1.5e300, -1.5e300, 1e-300, -0.0, kNaN, kInf}) {
    values.push_back(Variant::Double(d));
  }
  for (float f : {1.5f, 0.1f, 2.5f, 16777216.0f, 3.4e38f, 1e-7f})
    values.push_back(Variant::Single(f));
  for (int64_t c : {int64_t{0}, int64_t{12345}, int64_t{15000}, int64_t{25000}, int64_t{-25000},
                    int64_t{5}, int64_t{-1}, int64_t{123456780000}, int64_t{21474836475000},
                    std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min()}) {
    values.push_back(Variant::Currency(c));
  }
  for (double d : {// The day 0, times alone, whole days, days with times.
                   0.0, 0.5, 1.0, DateOf(2026, 12, 8), DateOf(2026, 12, 8, 17, 5, 9),
                   DateOf(2000, 2, 29, 0, 0, 1), 46364.499999,
                   // Before 1899-12-30 the fraction still counts forward from midnight.
                   DateOf(1899, 12, 29), -1.25, -0.25, DateOf(1800, 1, 1, 23, 59, 59),
                   // The runtime's first and last days, and beyond them.
                   -657434.0, -657434.5, DateOf(9999, 12, 31, 23, 59, 59), 2958465.9999999,
                   -657435.0, 2958466.0, kNaN}) {
    values.push_back(Variant::Date(d));
  }
  for (const char16_t* text : kTexts)
    values.push_back(Variant::Str(text));
  return values;
}

// ---- Differences kept on purpose ------------------------------------------------

struct Kept {
  const char* value;  // the value's label
  Target target;
  const char* bridge;    // the bridge's outcome, shown
  const char* platform;  // the platform's outcome, shown
  const char* why;
  // Where the 32-bit platform answers otherwise, its outcome (the bridge's
  // own where it agrees).
  const char* platform_win32 = nullptr;
};

// The platform's outcome for this program's width.
const char* PlatformOutcome(const Kept& k) {
#ifndef _WIN64
  if (k.platform_win32 != nullptr)
    return k.platform_win32;
#endif
  return k.platform;
}

constexpr char kNull[] =
    "the runtime's conversions raise 94 (Invalid use of Null); VariantChangeType knows no such "
    "error";
constexpr char kBooleanText[] =
    "CStr of a Boolean is True or False; VariantChangeType writes the number without "
    "VARIANT_ALPHABOOL";
constexpr char kNoNumber[] =
    "NaN and infinities are no number of the runtime: overflow; Wine formats or truncates them "
    "(to 32767 as an Integer on win32)";
constexpr char kDateRange[] =
    "beyond the runtime's dates: overflow, as CDate and the native build raise; the platform's "
    "E_INVALIDARG would reach the host as an automation error";
constexpr char kExponentSeparator[] =
    "a thousands separator inside the exponent: Wine makes 10000 of it, which no reading of the "
    "text gives";
constexpr char kNearest[] =
    "the bridge reads the nearest Double, as the runtime reads a literal; Wine's parser loses "
    "digits beyond the 15th (the 32-bit one not) and drops values below the normal range";
constexpr char kTopBit[] =
    "32 bits with the top bit set are a Long's two's complement, -1 (CLng agrees on both sides); "
    "Wine negates the unsigned value instead and overflows";
constexpr char kCurrencySymbol[] =
    "the locale's currency symbol: the bridge reads numbers without the locale (only '.' and ','), "
    "the platform skips the symbol";
constexpr char kBooleanWords[] =
    "the runtime's own reading of a text as a number takes the Boolean words (the answer test "
    "passes \"True\", the right check grants \" TRUE \"); the platform's parser does not";

constexpr Target kS = Target::kString, kL = Target::kLong, kI = Target::kInteger,
                 kD = Target::kDouble, kB = Target::kBoolean;

constexpr Kept kKept[] = {
    {"Null", kS, "error 94", "error 13", kNull},
    {"Null", kL, "error 94", "error 13", kNull},
    {"Null", kI, "error 94", "error 13", kNull},
    {"Null", kD, "error 94", "error 13", kNull},
    {"Null", kB, "error 94", "error 13", kNull},
    {"Boolean(True)", kS, "\"True\"", "\"-1\"", kBooleanText},
    {"Boolean(False)", kS, "\"False\"", "\"0\"", kBooleanText},
    {"Double(NaN)", kS, "error 6", "\"NAN\"", kNoNumber},
    {"Double(NaN)", kL, "error 6", "2147483647", kNoNumber},
    {"Double(NaN)", kI, "error 6", "-1", kNoNumber, "32767"},
    {"Double(Inf)", kS, "error 6", "\"INF\"", kNoNumber},
    {"Date(NaN)", kS, "error 6", "\"1899/12/30 00:00:00\"", kNoNumber},
    {"Date(NaN)", kL, "error 6", "2147483647", kNoNumber},
    {"Date(NaN)", kI, "error 6", "-1", kNoNumber, "32767"},
    {"Date(-657435)", kS, "error 6", "error -2147024809", kDateRange},
    {"Date(2958466)", kS, "error 6", "error -2147024809", kDateRange},
    {"String(\"1e3,0\")", kL, "error 13", "10000", kExponentSeparator},
    {"String(\"1e3,0\")", kI, "error 13", "10000", kExponentSeparator},
    {"String(\"1e3,0\")", kD, "error 13", "1e+04", kExponentSeparator},
    {"String(\"1e3,0\")", kB, "error 13", "True", kExponentSeparator},
    {"String(\"3.14159265358979323846\")", kD, "3.141592653589793", "3.1415926535897927", kNearest,
     "3.141592653589793"},
    {"String(\"123456789012345678901234567890\")", kD, "1.2345678901234568e+29",
     "1.2345678901234566e+29", kNearest, "1.2345678901234568e+29"},
    {"String(\"0.000000000000000000001\")", kD, "1e-21", "1.0000000000000001e-21", kNearest,
     "1e-21"},
    {"String(\"1e308\")", kD, "1e+308", "9.999999999999998e+307", kNearest, "1e+308"},
    {"String(\"4.9e-324\")", kD, "5e-324", "0", kNearest},
    {"String(\"4.9e-324\")", kB, "True", "False", kNearest},
    {"String(\"2.5e-324\")", kD, "5e-324", "0", kNearest},
    {"String(\"2.5e-324\")", kB, "True", "False", kNearest},
    {"String(\"&HFFFFFFFF\")", kD, "-1", "error 6", kTopBit},
    {"String(\"&HFFFFFFFF\")", kB, "True", "error 6", kTopBit},
    {"String(\"&O37777777777\")", kD, "-1", "error 6", kTopBit},
    {"String(\"&O37777777777\")", kB, "True", "error 6", kTopBit},
    {"String(\"\u00A512\")", kL, "error 13", "12", kCurrencySymbol},
    {"String(\"\u00A512\")", kI, "error 13", "12", kCurrencySymbol},
    {"String(\"\u00A512\")", kD, "error 13", "12", kCurrencySymbol},
    {"String(\"\u00A512\")", kB, "error 13", "True", kCurrencySymbol},
    {"String(\"12\u00A5\")", kL, "error 13", "12", kCurrencySymbol},
    {"String(\"12\u00A5\")", kI, "error 13", "12", kCurrencySymbol},
    {"String(\"12\u00A5\")", kD, "error 13", "12", kCurrencySymbol},
    {"String(\"12\u00A5\")", kB, "error 13", "True", kCurrencySymbol},
    {"String(\"True\")", kL, "-1", "error 13", kBooleanWords},
    {"String(\"True\")", kI, "-1", "error 13", kBooleanWords},
    {"String(\"True\")", kD, "-1", "error 13", kBooleanWords},
    {"String(\"TRUE\")", kL, "-1", "error 13", kBooleanWords},
    {"String(\"TRUE\")", kI, "-1", "error 13", kBooleanWords},
    {"String(\"TRUE\")", kD, "-1", "error 13", kBooleanWords},
    {"String(\"false\")", kL, "0", "error 13", kBooleanWords},
    {"String(\"false\")", kI, "0", "error 13", kBooleanWords},
    {"String(\"false\")", kD, "0", "error 13", kBooleanWords},
    {"String(\" TRUE \")", kL, "-1", "error 13", kBooleanWords},
    {"String(\" TRUE \")", kI, "-1", "error 13", kBooleanWords},
    {"String(\" TRUE \")", kD, "-1", "error 13", kBooleanWords},
    {"String(\" TRUE \")", kB, "True", "error 13", kBooleanWords},
};

const Kept* FindKept(const std::string& label, Target target) {
  for (const Kept& k : kKept) {
    if (label == k.value && target == k.target)
      return &k;
  }
  return nullptr;
}

// The value as the platform holds it, built with VariantInit and its fields,
// not with the bridge's own conversion to a VARIANT, which is what the rows
// would otherwise take for granted.
wb::win::ScopedVariant PlatformVariant(const Variant& value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = static_cast<VARTYPE>(value.kind());
  switch (value.kind()) {
    case wb::VarKind::kEmpty:
    case wb::VarKind::kNull:
      break;
    case wb::VarKind::kBoolean:
      v.boolVal = value.integral() != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    case wb::VarKind::kInteger:
      v.iVal = static_cast<SHORT>(value.integral());
      break;
    case wb::VarKind::kLong:
      v.lVal = static_cast<LONG>(value.integral());
      break;
    case wb::VarKind::kByte:
      v.bVal = static_cast<BYTE>(value.integral());
      break;
    case wb::VarKind::kCurrency:
      v.cyVal.int64 = value.integral();
      break;
    case wb::VarKind::kSingle:
      v.fltVal = static_cast<float>(value.real());
      break;
    case wb::VarKind::kDouble:
      v.dblVal = value.real();
      break;
    case wb::VarKind::kDate:
      v.date = value.real();
      break;
    case wb::VarKind::kString:
      v.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(value.str().data()),
                                    static_cast<UINT>(value.str().size()));
      break;
    default:
      v.vt = VT_ERROR;
      v.scode = E_NOTIMPL;
  }
  wb::win::ScopedVariant held;
  held.Reset(v);
  return held;
}

void CompareAll() {
  std::vector<const Kept*> seen;
  for (const Variant& value : Values()) {
    const std::string label = Label(value);
    const wb::win::ScopedVariant answer = PlatformVariant(value);
    for (const TargetInfo& target : kTargets) {
      const Outcome bridge = BridgeSays(answer.Get(), target.target);
      const Outcome platform = PlatformSays(answer.Get(), target);
      const std::string row = label + " as " + target.name;
      if (const Kept* kept = FindKept(label, target.target)) {
        seen.push_back(kept);
        const char* platform_says = PlatformOutcome(*kept);
        checks.Expect(bridge.Show() == kept->bridge && platform.Show() == platform_says,
                      row + ": kept apart, bridge " + kept->bridge + ", platform " +
                          platform_says + " (" + kept->why + ")",
                      "bridge " + bridge.Show() + ", platform " + platform.Show());
      } else {
        checks.Expect(bridge == platform, row + " = " + bridge.Show(),
                      "platform " + platform.Show());
      }
    }
  }
  std::string unused;
  for (const Kept& k : kKept) {
    bool used = false;
    for (const Kept* s : seen)
      used = used || s == &k;
    if (!used)
      unused += std::string(k.value) + " ";
  }
  checks.Expect(unused.empty(), "every kept difference names a row of the table",
                "no row for " + unused);
}

// The comparison holds for the locale it runs in; the bridge writes and reads
// numbers with '.' and ','.
void LocaleCheck() {
  wchar_t decimal[8] = {}, thousands[8] = {};
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, 8);
  GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, thousands, 8);
  const LCID lcid = GetUserDefaultLCID();
  checks.Expect(
      lcid == 0x0804 && std::wcscmp(decimal, L".") == 0 && std::wcscmp(thousands, L",") == 0,
      "the user locale is zh-CN, with '.' and ',' as the separators",
      "LCID " + std::to_string(lcid) + " (run it with LC_ALL=zh_CN.UTF-8)");
}

}  // namespace

int main() {
  if (FAILED(CoInitialize(nullptr))) {
    checks.Expect(false, "CoInitialize");
    return 1;
  }
  // The locale, each value as each target, the table of kept differences.
  checks.Plan(static_cast<int>(1 + Values().size() * std::size(kTargets) + 1));
  LocaleCheck();
  CompareAll();
  const int failed = checks.Finish();
  CoUninitialize();
  return failed;
}
