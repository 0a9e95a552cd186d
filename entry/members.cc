#include "entry/members.h"

namespace wb::entry {

namespace {

constexpr Member kMembers[] = {
    {DISPID_SHOWWORKBENCHFORM, 0},
    {DISPID_DEVOVIZORUZE, 1},
};

}  // namespace

const Member* FindMemberById(DISPID dispid) noexcept {
  for (const Member& member : kMembers) {
    if (member.dispid == dispid)
      return &member;
  }
  return nullptr;
}

}  // namespace wb::entry
