// Module MMTS: the session services. Translation of message texts through the
// suite's resource-string loader, session properties of the current process,
// and the function-right check.
#pragma once

#include <cstdint>

#include "core/text.h"
#include "core/variant.h"

namespace wb::mmts {

// The current language code, upper-cased, from "Polyglot.LocaleState".
// No trap: errors go to the caller.
String GetCurrentLanguage();

// `text` in the current language. Never raises; on any failure returns `text`
// unchanged. An error pending at entry is pending, unchanged, on return.
String TranslateText(String text);

// A text with "^|^" separators, segment by segment ("~$~" marks a segment to
// translate). No trap: errors go to the caller.
String TranslateCompound(const String& text);

// The session property `name` of the current process (an object or a value).
// `name` is passed on by reference. No trap.
Variant GetSessionProperty(String& name);
String GetSessionUser();
String GetPropsString();

// Asks "Gatekeeper.RightsDesk" whether the session holds the right. Raises any
// failure with Source "Err_CheckAccessRight" and a translated description.
bool CheckAccessRight(int32_t func_id, int32_t check_type, int32_t check_flag);

}  // namespace wb::mmts
