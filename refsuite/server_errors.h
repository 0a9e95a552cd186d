// Errors out of the COM binding: a scripted error or a failure of the suite
// turned into an HRESULT plus the error information its style asks for.
#pragma once

#include <windows.h>  // first: the other Windows headers need it

#include <oleauto.h>

#include "core/err.h"
#include "refsuite/scenario.h"

namespace refsuite::com {

// Error N of the VB style (1..65535) travels as 0x800A0000 | N; any other
// number is an HRESULT already.
HRESULT HresultOf(int32_t number);

// Sets the thread's error object (IErrorInfo) to the record's fields; short of
// memory for the texts, it goes without them.
void SetRichErrorInfo(const wb::ErrRecord& error) noexcept;

// What Invoke returns for `error` raised in `style`, filling `excepinfo`
// (which may be null) as the style says. With RaiseStyle::kExcepInfo it never
// throws (it is what an entry point's last-resort handler calls): short of
// memory, the EXCEPINFO carries the status without the texts.
HRESULT ReportInvokeError(const wb::ErrRecord& error, RaiseStyle style, EXCEPINFO* excepinfo);

}  // namespace refsuite::com
