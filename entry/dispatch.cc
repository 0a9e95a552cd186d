// The function-id dispatch behind `DEVOVIZoruze`.
#include "entry/dispatch.h"

#include "core/err.h"
#include "core/trap.h"
#include "launchers/modpublic.h"
#include "session/mmts.h"

namespace wb::entry {

void DEVOVIZoruze(int32_t detail_func_id) {
  Trap(
      [&] {
        // The launchers' results are not looked at.
        switch (detail_func_id) {
          case kBranchSetup:
            modpublic::ShowBranchSetup();
            break;
          case kMemberLookup:
            modpublic::ShowMemberLookup();
            break;
          case kLoyaltyPlan:
            modpublic::ShowLoyaltyPlan();
            break;
          case kReceiptRoll:
            modpublic::ShowReceiptRoll();
            break;
          case kReport:
            modpublic::RunReport(u"2222", u"sssww");
            break;
          default:
            break;
        }
      },
      [] {
        const int32_t number = Err::Number();
        const String source = Err::Source();
        const String prefix = mmts::TranslateText(u"调用门店函数出错。原因：");
        // Read after the prefix's translation, which leaves the error pending.
        const String description = Err::Description();
        // Help file and context stay those of the error being handled.
        Err::Raise(number, source, prefix + mmts::TranslateText(description));
      });
}

}  // namespace wb::entry
