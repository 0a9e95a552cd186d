#include "refsuite/values.h"

#include "core/text.h"
#include "refsuite/instance.h"

namespace refsuite {

wb::String TextOf(const wb::Variant& value) {
  return value.IsString() ? value.str() : wb::String();
}

double NumberOf(const wb::Variant& value) {
  switch (value.kind()) {
    case wb::VarKind::kSingle:
    case wb::VarKind::kDouble:
    case wb::VarKind::kDate:
      return value.real();
    case wb::VarKind::kCurrency:
      return static_cast<double>(value.integral()) / 10000.0;
    default:
      return static_cast<double>(value.integral());
  }
}

bool Matches(const ScriptedValue& pattern, const wb::Variant& value) {
  switch (pattern.shape) {
    case ScriptedValue::Shape::kAny:
      return true;
    case ScriptedValue::Shape::kObject:
      return value.IsObject();
    case ScriptedValue::Shape::kArray:
      return value.kind() == wb::VarKind::kUnsupported && (value.unsupported_vartype() & 0x2000);
    case ScriptedValue::Shape::kPlain:
      break;
  }
  const wb::Variant& want = pattern.plain;
  const bool want_number = want.IsNumeric() || want.kind() == wb::VarKind::kDate;
  const bool have_number = value.IsNumeric() || value.kind() == wb::VarKind::kDate;
  if (want_number || have_number) {
    return want_number && have_number && NumberOf(want) == NumberOf(value);
  }
  return want == value;
}

nlohmann::json ValueToJson(const wb::Variant& value) {
  nlohmann::json out = {{"type", wb::KindName(value.kind())}};
  nlohmann::json& v = out["value"];
  switch (value.kind()) {
    case wb::VarKind::kEmpty:
    case wb::VarKind::kNull:
      break;
    case wb::VarKind::kBoolean:
      v = value.integral() != 0;
      break;
    case wb::VarKind::kInteger:
    case wb::VarKind::kLong:
    case wb::VarKind::kByte:
    case wb::VarKind::kError:
      v = value.integral();
      break;
    case wb::VarKind::kSingle:
    case wb::VarKind::kDouble:
    case wb::VarKind::kDate:
    case wb::VarKind::kCurrency:
      v = NumberOf(value);
      break;
    case wb::VarKind::kString:
      v = wb::ToUtf8(value.str());
      break;
    case wb::VarKind::kObject:
      if (const Instance* instance = SuiteInstanceOf(value.object())) {
        v = {{"progid", instance->prog_id()}, {"instance", instance->id()}};
      } else if (!value.object().IsNothing()) {
        v = "foreign";
      }
      break;
    case wb::VarKind::kUnsupported:
      v = value.unsupported_vartype();
      break;
  }
  return out;
}

nlohmann::json ErrorToJson(const wb::ErrRecord& error) {
  return {{"number", error.number},
          {"source", wb::ToUtf8(error.source)},
          {"description", wb::ToUtf8(error.description)},
          {"helpfile", wb::ToUtf8(error.help_file)},
          {"helpcontext", error.help_context}};
}

}  // namespace refsuite
