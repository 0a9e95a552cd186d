// The members of `_CWorkbench` as late-bound callers reach them: names,
// dispatch ids and argument counts, kept equal to the type library.
#pragma once

#include <oaidl.h>
#include <windows.h>

namespace wb::entry {

inline constexpr DISPID kDispidShowWorkbenchForm = 0x60030000;
inline constexpr DISPID kDispidDEVOVIZoruze = 0x60030001;

struct Member {
  const wchar_t* name;
  DISPID dispid;
  UINT arg_count;
};

// The member with this name in any letter case, or null.
const Member* FindMemberByName(const wchar_t* name) noexcept;

// The member with this dispatch id, or null.
const Member* FindMemberById(DISPID dispid) noexcept;

}  // namespace wb::entry
