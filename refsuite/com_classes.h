// The COM classes of RefSuite.dll: one CLSID per ProgID of the suite, served
// by the in-process server module (win/inproc_server.h).
#pragma once

#include <windows.h>

#include <vector>

#include "win/inproc_server.h"

namespace refsuite::com {

using ComClass = wb::win::ServerClass;

const std::vector<ComClass>& Classes();

// A new instance of `c`'s ProgID, made by the suite (com_server.cc).
HRESULT CreateClassInstance(const ComClass& c, REFIID iid, void** out) noexcept;

}  // namespace refsuite::com
