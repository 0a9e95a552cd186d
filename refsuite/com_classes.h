// The COM classes of RefSuite.dll: one CLSID per ProgID of the suite, and
// the module that holds them.
#pragma once

#include <windows.h>

#include <vector>

namespace refsuite::com {

struct ComClass {
  const char* prog_id;
  CLSID clsid;
};

const std::vector<ComClass>& Classes();
const ComClass* FindClass(REFCLSID clsid);

// This DLL (set when it is loaded).
HMODULE ThisModule();

}  // namespace refsuite::com
