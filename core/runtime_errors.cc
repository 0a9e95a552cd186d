#include "core/runtime_errors.h"

namespace wb::rt {

String Describe(int32_t number) {
  switch (number) {
    case kInvalidProcedureCall:
      return u"Invalid procedure call or argument";
    case kOverflow:
      return u"Overflow";
    case kOutOfMemory:
      return u"Out of memory";
    case kTypeMismatch:
      return u"Type mismatch";
    case kOutOfStackSpace:
      return u"Out of stack space";
    case kInternalError:
      return u"Internal error";
    case kObjectNotSet:
      return u"Object variable or With block variable not set";
    case kInvalidUseOfNull:
      return u"Invalid use of Null";
    case kObjectUnloaded:
      return u"Object was unloaded";
    case kObjectRequired:
      return u"Object required";
    case kCannotCreateObject:
      return u"ActiveX component can't create object";
    case kNoInterface:
      return u"Class does not support Automation or does not support expected interface";
    case kNoSuchMember:
      return u"Object doesn't support this property or method";
    case kAutomationError:
      return u"Automation error";
    case kArgumentNotOptional:
      return u"Argument not optional";
    case kWrongArgumentCount:
      return u"Wrong number of arguments or invalid property assignment";
    case kBadVarType:
      return u"Variable uses an Automation type not supported in Visual Basic";
    default:
      return u"Application-defined or object-defined error";
  }
}

}  // namespace wb::rt
