// The one notice box of the launchers.
#include <utility>

#include "bridge/thread_state.h"
#include "core/err.h"
#include "launchers/modpublic.h"
#include "launchers/platform_notice.h"
#include "session/mmts.h"
#include "trace/trace.h"

namespace wb::modpublic {

namespace {

constexpr char16_t kTitle[] = u"青禾提示";

struct NoticeState {
  NoticeSink sink;
};

}  // namespace

NoticeSink SetNoticeSink(NoticeSink sink) {
  return std::exchange(PerThread<NoticeState>().sink, std::move(sink));
}

void ShowNotice(const String& strText, int32_t msgStyle, const bool& withDescription) {
  const String message = mmts::TranslateText(strText);
  // The pending error's description is read and translated on every call.
  const String pending_description = Err::Description();
  const String description = mmts::TranslateText(pending_description);
  const String tail = withDescription ? u"\r\n" + description : String();
  const String title = mmts::TranslateText(kTitle);

  const Notice notice{message + tail, title, msgStyle};
  trace::Notice(notice.title, notice.prompt, notice.style);
  // Copied: a sink may replace itself while it runs.
  const NoticeSink sink = PerThread<NoticeState>().sink;
  if (sink) {
    sink(notice);
  } else {
    ShowPlatformNotice(notice);
  }
}

}  // namespace wb::modpublic
