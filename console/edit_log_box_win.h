// The log box on Windows: a multi-line edit control that grows without bound.
#pragma once

#include <windows.h>

#include "console/log_box.h"

namespace wb::console {

class EditLogBox final : public LogBox {
 public:
  // The edit control's styles: multi-line, no scroll bars. ES_AUTOVSCROLL lets
  // text go on past the visible area.
  static constexpr DWORD kStyle =
      WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | ES_NOHIDESEL;

  // Takes an existing edit control (not owned) and lifts its text limit.
  explicit EditLogBox(HWND edit);

  // The control is going away; later calls raise error 364.
  void Detach() { edit_ = nullptr; }

  String Text() const override;
  // Adds the line at the end without replacing the whole text, so an append
  // costs the same however long the log is, and leaves the caret, selection
  // and scroll position where they were.
  void Append(StringView line) override;

 private:
  void RequireControl() const;
  HWND edit_;
};

}  // namespace wb::console
