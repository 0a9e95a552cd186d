// Defines the GUIDs of the type library (LIBID, IID, CLSID) for the DLL.
#include <initguid.h>

#include "entry/workbench_idl.h"
