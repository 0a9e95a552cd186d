// Fuzzes the conversions with values of every kind: each either gives a
// result or raises through the error record; nothing else escapes. The input
// also goes through the UTF-8 decoder, which must keep only well-formed text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "bridge/convert.h"
#include "core/err.h"

namespace {

wb::Variant MakeValue(uint8_t kind, const uint8_t* data, size_t size) {
  double real = 0;
  int64_t whole = 0;
  std::memcpy(&real, data, size < sizeof real ? size : sizeof real);
  std::memcpy(&whole, data, size < sizeof whole ? size : sizeof whole);
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  switch (kind % 12) {
    case 0:
      return wb::Variant();
    case 1:
      return wb::Variant::Null();
    case 2:
      return wb::Variant::Integer(static_cast<int16_t>(whole));
    case 3:
      return wb::Variant::Long(static_cast<int32_t>(whole));
    case 4:
      return wb::Variant::Single(static_cast<float>(real));
    case 5:
      return wb::Variant::Double(real);
    case 6:
      return wb::Variant::Currency(whole);
    case 7:
      return wb::Variant::Date(real);
    case 8:
      return wb::Variant::Str(wb::FromUtf8(bytes));
    case 9:
      return wb::Variant::Bool(whole & 1);
    case 10:
      return wb::Variant::Byte(static_cast<uint8_t>(whole));
    default:
      return wb::Variant::Unsupported(static_cast<uint16_t>(whole));
  }
}

// Aborts unless `bytes` decode as UTF-8 must: no unpaired surrogate, at most
// one UTF-16 unit per byte, a text that survives its own round trip, and
// input decoded without U+FFFD (well-formed) that re-encodes to itself.
void CheckUtf8(std::string_view bytes) {
  const wb::String text = wb::FromUtf8(bytes);
  bool replaced = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    replaced = replaced || c == u'\uFFFD';
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      std::abort();
    }
  }
  const std::string again = wb::ToUtf8(text);
  if (text.size() > bytes.size() || wb::FromUtf8(again) != text || (!replaced && again != bytes))
    std::abort();
}

template <class F>
void Guard(F&& f) {
  try {
    f();
  } catch (const wb::RaisedError&) {
    if (wb::Err::Number() == 0)
      std::abort();  // a raise always carries a number
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  if (size < 1)
    return 0;
  const wb::Variant value = MakeValue(data[0], data + 1, size - 1);
  Guard([&] { wb::ToString(value); });
  Guard([&] { wb::ToLong(value); });
  Guard([&] { wb::ToInteger(value); });
  Guard([&] { wb::ToBool(value); });
  Guard([&] { wb::ToDouble(value); });
  Guard([&] { wb::PassesAnswerTest(value); });
  Guard([&] { wb::DiffersFromText(value, u"Q5COM"); });
  Guard([&] {
    // Text round trip: a string's text form is itself.
    if (value.IsString() && wb::ToString(value) != value.str())
      std::abort();
  });
  return 0;
}
