#include "bridge/runtime_errors.h"

namespace wb::rt {

namespace {

struct RuntimeError {
  int32_t number;
  const char16_t* description;
};

constexpr RuntimeError kRuntimeErrors[] = {
    {kInvalidProcedureCall, u"Invalid procedure call or argument"},
    {kOverflow, u"Overflow"},
    {kOutOfMemory, u"Out of memory"},
    {kTypeMismatch, u"Type mismatch"},
    {kInternalError, u"Internal error"},
    {kObjectNotSet, u"Object variable or With block variable not set"},
    {kInvalidUseOfNull, u"Invalid use of Null"},
    {kObjectUnloaded, u"Object was unloaded"},
    {kObjectRequired, u"Object required"},
    {kCannotCreateObject, u"ActiveX component can't create object"},
    {kNoInterface, u"Class does not support Automation or does not support expected interface"},
    {kNoSuchMember, u"Object doesn't support this property or method"},
    {kAutomationError, u"Automation error"},
    {kArgumentNotOptional, u"Argument not optional"},
    {kWrongArgumentCount, u"Wrong number of arguments or invalid property assignment"},
    {kBadVarType, u"Variable uses an Automation type not supported in Visual Basic"},
};

}  // namespace

String Describe(int32_t number) {
  for (const RuntimeError& error : kRuntimeErrors) {
    if (error.number == number)
      return error.description;
  }
  return u"Application-defined or object-defined error";
}

}  // namespace wb::rt
