#include "entry/members.h"

#include <cwchar>

#include "bridge/text.h"

namespace wb::entry {

namespace {

constexpr Member kMembers[] = {
    {L"ShowWorkbenchForm", kDispidShowWorkbenchForm, 0},
    {L"DEVOVIZoruze", kDispidDEVOVIZoruze, 1},
};

StringView View(const wchar_t* text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  return StringView(reinterpret_cast<const char16_t*>(text), std::wcslen(text));
}

}  // namespace

const Member* FindMemberByName(const wchar_t* name) noexcept {
  if (name == nullptr)
    return nullptr;
  for (const Member& member : kMembers) {
    if (EqualsIgnoreAsciiCase(View(name), View(member.name)))
      return &member;
  }
  return nullptr;
}

const Member* FindMemberById(DISPID dispid) noexcept {
  for (const Member& member : kMembers) {
    if (member.dispid == dispid)
      return &member;
  }
  return nullptr;
}

}  // namespace wb::entry
