// The suite's side of the in-process server (win/inproc_server.h): its class
// table and the making of an instance. No exception leaves either.
#include <windows.h>  // first: the other Windows headers need it

#include <oleauto.h>
#include <wrl/client.h>

#include "core/err.h"
#include "core/text.h"
#include "refsuite/com_classes.h"
#include "refsuite/com_instance.h"
#include "refsuite/instance.h"
#include "refsuite/server_errors.h"
#include "refsuite/suite.h"

namespace refsuite::com {

namespace {

// Binds the suite's core to COM objects, once, outside the loader lock; a
// second thread waits until the first has done it.
void BindSuite() {
  static const bool bound = [] {
    Suite::Get().journal().KeepInMemory(false);
    Suite::Get().SetObjectMaker(&MakeDispatchObject);
    return true;
  }();
  (void)bound;
}

}  // namespace

HRESULT CreateClassInstance(const ComClass& c, REFIID iid, void** out) noexcept {
  try {
    BindSuite();
    wb::ObjectRef object = Suite::Get().Create(wb::FromUtf8(c.prog_id));
    const Microsoft::WRL::ComPtr<IUnknown> unknown = UnknownOf(object);
    if (!unknown)
      return E_UNEXPECTED;
    return unknown->QueryInterface(iid, out);
  } catch (...) {
    wb::Err::CaptureCurrentException();
    SetRichErrorInfo(wb::Err::Get());
    return HresultOf(wb::Err::Number());
  }
}

}  // namespace refsuite::com

std::span<const wb::win::ServerClass> wb::win::ServedClasses() {
  return refsuite::com::Classes();
}
