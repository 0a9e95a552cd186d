// A stand-in for the store suite inside the test process: every component
// records what is done to it in one journal, and answers as a test needs.
//   CtxStore.SessionBag   GetProperty(pid, "UserName") gives "clerk01"
//   Gatekeeper.RightsDesk AccessCheck refuses right 2811, grants the others
//   Loyalty.CPlan         Show raises error 1002 "方案锁定"
//   DayClose.CDayCloseRun ShowReckoning succeeds for the day-end and raises
//                         error 1001 "数据库忙" for the reverse day-end
// Polyglot.LocaleState cannot be created, so texts stay untranslated.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "bridge/bridge.h"

namespace wbui {

class FakeSuite final : public wb::ComponentFactory {
 public:
  FakeSuite();
  ~FakeSuite() override;

  wb::ObjectRef Create(wb::StringView prog_id) override;

  // The journal since the last call, and cleared. Any thread.
  std::vector<std::string> Take();
  void Note(std::string entry);

 private:
  CRITICAL_SECTION lock_;
  std::vector<std::string> journal_;
};

}  // namespace wbui
