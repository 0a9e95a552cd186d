// A host-side automation object for hostile arguments: with a default value
// (DISPID_VALUE answers a Long) or without one, counting its references so
// that a test sees whether the callee let go of everything it took.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <functional>
#include <optional>

#include "tests/wine/lib/stack_com_object.h"
#include "win/com_object.h"

namespace wbproof {

// Lives on the test's stack: the count is only watched, never acted on.
class ValueObject final : public wb::win::StackComObject<IDispatch> {
 public:
  explicit ValueObject(std::optional<LONG> value) : value_(value) {}

  // Runs at each read of the default value, before it answers (the host's
  // code, which may call the reader again).
  std::function<void()> on_read;

  // References besides the creator's own.
  LONG extra_refs() const { return refs(); }
  int default_reads() const { return default_reads_; }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count)
      *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid,
                                   REFIID,
                                   LCID,
                                   WORD,
                                   DISPPARAMS*,
                                   VARIANT* result,
                                   EXCEPINFO*,
                                   UINT*) override {
    if (dispid != DISPID_VALUE || !value_)
      return DISP_E_MEMBERNOTFOUND;
    ++default_reads_;
    if (on_read)
      on_read();
    if (result) {
      VariantInit(result);
      V_VT(result) = VT_I4;
      V_I4(result) = *value_;
    }
    return S_OK;
  }

 private:
  std::optional<LONG> value_;
  int default_reads_ = 0;
};

}  // namespace wbproof
