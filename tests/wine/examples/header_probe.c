// What a host writes against dist/include/Workbench.h, compiled as C and as
// C++ by both mingw compilers with that folder as the only include path:
// <initguid.h> before the header defines the GUIDs in this file (the link
// fails otherwise), the dispatch ids are constants a host can use, and the
// interface is called through its table of methods from either language.
#define COBJMACROS
#include <windows.h>

#include <initguid.h>

#include "Workbench.h"

#ifdef __cplusplus
#define PROBE_ASSERT(condition, message) static_assert(condition, message)
#else
#include <stddef.h>
#define PROBE_ASSERT(condition, message) _Static_assert(condition, message)
#endif

/* The values themselves are checked against the type library by the
   typelib client; here they must be constant expressions a host can use. */
PROBE_ASSERT(DISPID_DEVOVIZORUZE != DISPID_SHOWWORKBENCHFORM, "two member ids");
PROBE_ASSERT(DISPID_DEVOVIZORUZE_FDETAILFUNCID == 0, "DISPID_DEVOVIZORUZE_FDETAILFUNCID");

#ifdef __cplusplus
HRESULT CallThroughTable(_CWorkbench* workbench, LONG* id) {
  return workbench->DEVOVIZoruze(id);
}
// The class and the interface also carry their GUIDs for __uuidof.
const GUID* const kUuids[] = {&__uuidof(CWorkbench), &__uuidof(_CWorkbench)};
#else
// IDispatch's seven slots, then ShowWorkbenchForm and DEVOVIZoruze.
PROBE_ASSERT(offsetof(_CWorkbenchVtbl, ShowWorkbenchForm) == 7 * sizeof(void*), "slot 7");
PROBE_ASSERT(offsetof(_CWorkbenchVtbl, DEVOVIZoruze) == 8 * sizeof(void*), "slot 8");
HRESULT CallThroughTable(_CWorkbench* workbench, LONG* id) {
  return _CWorkbench_DEVOVIZoruze(workbench, id);
}
#endif

// The GUIDs as a host hands them to COM: a reference each, resolved at link time.
const GUID* const kGuids[] = {&LIBID_Workbench, &IID__CWorkbench, &CLSID_CWorkbench};

int main(void) {
  return kGuids[0]->Data1 == 0;
}
