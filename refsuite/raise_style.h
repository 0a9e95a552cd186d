// The style the last scripted raise on this thread asked for, read by the COM
// binding when it turns the error into an HRESULT.
#pragma once

#include "refsuite/scenario.h"

namespace refsuite {

void SetRaiseStyle(RaiseStyle style);
RaiseStyle LastRaiseStyle();

}  // namespace refsuite
