#include "core/variant.h"

#include "core/err.h"
#include "core/runtime_errors.h"

namespace wb {

namespace {
constexpr int32_t kParamNotFound = static_cast<int32_t>(0x80020004);
}

const char* KindName(VarKind kind) {
  switch (kind) {
    case VarKind::kEmpty:
      return "Empty";
    case VarKind::kNull:
      return "Null";
    case VarKind::kInteger:
      return "Integer";
    case VarKind::kLong:
      return "Long";
    case VarKind::kSingle:
      return "Single";
    case VarKind::kDouble:
      return "Double";
    case VarKind::kCurrency:
      return "Currency";
    case VarKind::kDate:
      return "Date";
    case VarKind::kString:
      return "String";
    case VarKind::kObject:
      return "Object";
    case VarKind::kError:
      return "Error";
    case VarKind::kBoolean:
      return "Boolean";
    case VarKind::kByte:
      return "Byte";
    case VarKind::kUnsupported:
      return "Unsupported";
  }
  return "Unsupported";
}

#define WB_MAKE(kind_value, payload) \
  Variant v;                         \
  v.kind_ = kind_value;              \
  v.data_ = payload;                 \
  return v

Variant Variant::Null() {
  WB_MAKE(VarKind::kNull, std::monostate{});
}
Variant Variant::Integer(int16_t x) {
  WB_MAKE(VarKind::kInteger, int64_t{x});
}
Variant Variant::Long(int32_t x) {
  WB_MAKE(VarKind::kLong, int64_t{x});
}
Variant Variant::Single(float x) {
  WB_MAKE(VarKind::kSingle, double{x});
}
Variant Variant::Double(double x) {
  WB_MAKE(VarKind::kDouble, x);
}
Variant Variant::Currency(int64_t x) {
  WB_MAKE(VarKind::kCurrency, x);
}
Variant Variant::Date(double x) {
  WB_MAKE(VarKind::kDate, x);
}
Variant Variant::Str(String x) {
  WB_MAKE(VarKind::kString, std::move(x));
}
Variant Variant::Bool(bool x) {
  WB_MAKE(VarKind::kBoolean, int64_t{x ? -1 : 0});
}
Variant Variant::Byte(uint8_t x) {
  WB_MAKE(VarKind::kByte, int64_t{x});
}
Variant Variant::Object(ObjectRef x) {
  WB_MAKE(VarKind::kObject, std::move(x));
}
Variant Variant::Error(int32_t x) {
  WB_MAKE(VarKind::kError, int64_t{x});
}
Variant Variant::Missing() {
  return Error(kParamNotFound);
}
Variant Variant::Unsupported(uint16_t vt) {
  WB_MAKE(VarKind::kUnsupported, int64_t{vt});
}

#undef WB_MAKE

bool Variant::IsMissing() const {
  return kind_ == VarKind::kError && std::get<int64_t>(data_) == kParamNotFound;
}

bool Variant::IsNumeric() const {
  switch (kind_) {
    case VarKind::kInteger:
    case VarKind::kLong:
    case VarKind::kSingle:
    case VarKind::kDouble:
    case VarKind::kCurrency:
    case VarKind::kByte:
    case VarKind::kBoolean:
      return true;
    default:
      return false;
  }
}

int64_t Variant::integral() const {
  if (const auto* p = std::get_if<int64_t>(&data_); p && kind_ != VarKind::kUnsupported)
    return *p;
  Err::RaiseRuntime(rt::kTypeMismatch);
}

double Variant::real() const {
  if (const auto* p = std::get_if<double>(&data_))
    return *p;
  Err::RaiseRuntime(rt::kTypeMismatch);
}

const String& Variant::str() const {
  if (const auto* p = std::get_if<String>(&data_))
    return *p;
  Err::RaiseRuntime(rt::kTypeMismatch);
}

const ObjectRef& Variant::object() const {
  if (const auto* p = std::get_if<ObjectRef>(&data_))
    return *p;
  Err::RaiseRuntime(rt::kTypeMismatch);
}

uint16_t Variant::unsupported_vartype() const {
  return kind_ == VarKind::kUnsupported ? static_cast<uint16_t>(std::get<int64_t>(data_)) : 0;
}

bool Variant::operator==(const Variant& other) const {
  return kind_ == other.kind_ && data_ == other.data_;
}

}  // namespace wb
