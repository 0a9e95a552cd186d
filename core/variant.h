// `Variant`: the tagged value that crosses every call to a component, and the
// argument wrapper `Arg` (by value, or by reference to the caller's variable).
#pragma once

#include <cstdint>
#include <variant>

#include "core/automation_object.h"
#include "core/text.h"

namespace wb {

// The kinds, numbered as the automation VARTYPE (and VB's VarType) numbers them.
enum class VarKind : uint16_t {
  kEmpty = 0,
  kNull = 1,
  kInteger = 2,  // 16-bit signed
  kLong = 3,     // 32-bit signed
  kSingle = 4,
  kDouble = 5,
  kCurrency = 6,  // 64-bit, scaled by 10,000
  kDate = 7,      // days since 1899-12-30, time as the fraction
  kString = 8,
  kObject = 9,
  kError = 10,    // an SCODE; the missing-argument marker is one
  kBoolean = 11,  // True is -1, False is 0
  kByte = 17,
  kUnsupported = 0xFFFF,  // a value the system does not use (arrays, records...)
};

// Readable kind names, as journals and messages print them ("Long", "String").
const char* KindName(VarKind kind);

class Variant {
 public:
  Variant() = default;  // Empty
  static Variant Null();
  static Variant Integer(int16_t v);
  static Variant Long(int32_t v);
  static Variant Single(float v);
  static Variant Double(double v);
  static Variant Currency(int64_t scaled);
  static Variant Date(double v);
  static Variant Str(String v);
  static Variant Bool(bool v);
  static Variant Byte(uint8_t v);
  static Variant Object(ObjectRef v);
  static Variant Error(int32_t scode);
  // The marker for an omitted optional argument (DISP_E_PARAMNOTFOUND).
  static Variant Missing();
  // A value of a type the system does not handle; `vartype` is kept for messages.
  static Variant Unsupported(uint16_t vartype);

  VarKind kind() const { return kind_; }
  bool IsEmpty() const { return kind_ == VarKind::kEmpty; }
  bool IsNull() const { return kind_ == VarKind::kNull; }
  bool IsObject() const { return kind_ == VarKind::kObject; }
  bool IsString() const { return kind_ == VarKind::kString; }
  bool IsMissing() const;
  bool IsNumeric() const;  // Integer, Long, Single, Double, Currency, Byte, Boolean

  // Raw access; each requires the matching kind (checked: a wrong kind is a
  // type mismatch, raised through Err).
  int64_t integral() const;         // Integer, Long, Byte, Boolean (-1/0), Error, Currency (scaled)
  double real() const;              // Single, Double, Date
  const String& str() const;        // String
  const ObjectRef& object() const;  // Object (may be Nothing)
  uint16_t unsupported_vartype() const;

  bool operator==(const Variant& other) const;

 private:
  VarKind kind_ = VarKind::kEmpty;
  std::variant<std::monostate, int64_t, double, String, ObjectRef> data_;
};

// One argument of a member call: a value, or a reference to the caller's
// variable that the component may write into.
class Arg {
 public:
  static Arg Val(Variant v) { return Arg(std::move(v)); }
  static Arg Ref(Variant& target) { return Arg(&target); }

  bool by_ref() const { return ref_ != nullptr; }
  Variant& value() { return ref_ ? *ref_ : own_; }
  const Variant& value() const { return ref_ ? *ref_ : own_; }

 private:
  explicit Arg(Variant v) : own_(std::move(v)) {}
  explicit Arg(Variant* ref) : ref_(ref) {}
  Variant own_;
  Variant* ref_ = nullptr;
};

}  // namespace wb
