#include "console/edit_log_box_win.h"

#include "core/err.h"
#include "core/runtime_errors.h"

namespace wb::console {

namespace {

// Far beyond what a test session writes; the control's default is 30000.
constexpr WPARAM kTextLimit = 0x7FFFFFFE;

size_t TextLength(HWND edit) {
  return static_cast<size_t>(GetWindowTextLengthW(edit));
}

void Select(HWND edit, size_t start, size_t end) {
  SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

void ReplaceSelection(HWND edit, const String& text) {
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

// Whether the character at `offset` lies within the control's client area.
bool AppearsInView(HWND edit, size_t offset) {
  RECT client{};
  GetClientRect(edit, &client);
  const LRESULT pos = SendMessageW(edit, EM_POSFROMCHAR, static_cast<WPARAM>(offset), 0);
  if (pos == -1)
    return true;  // no position known: paint to be safe
  const int y = static_cast<short>(HIWORD(pos));
  return y < client.bottom;
}

}  // namespace

EditLogBox::EditLogBox(HWND edit) : edit_(edit) {
  SendMessageW(edit_, EM_SETLIMITTEXT, kTextLimit, 0);
}

void EditLogBox::RequireControl() const {
  if (edit_ == nullptr)
    Err::RaiseRuntime(rt::kObjectUnloaded);
}

String EditLogBox::Text() const {
  RequireControl();
  String text(TextLength(edit_) + 1, u'\0');
  const int copied =
      GetWindowTextW(edit_, reinterpret_cast<wchar_t*>(text.data()), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  return text;
}

void EditLogBox::Append(StringView line) {
  RequireControl();
  // The control takes its text up to the first NUL, as a whole-text
  // assignment would.
  const String text(line.substr(0, line.find(u'\0')));

  DWORD sel_start = 0;
  DWORD sel_end = 0;
  SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&sel_start),
               reinterpret_cast<LPARAM>(&sel_end));
  const LRESULT first_visible = SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0);
  const size_t old_length = TextLength(edit_);

  // Nothing is drawn while the text and the view change; afterwards only a
  // new line that lands in the visible area needs painting.
  SendMessageW(edit_, WM_SETREDRAW, FALSE, 0);
  Select(edit_, old_length, old_length);
  ReplaceSelection(edit_, text);
  const bool complete = TextLength(edit_) == old_length + text.size();
  if (!complete) {
    // Out of room: take back whatever part went in.
    Select(edit_, old_length, static_cast<size_t>(-1));
    ReplaceSelection(edit_, String());
  }
  // Back to where the reader was: the log does not follow its newest line.
  Select(edit_, sel_start, sel_end);
  const LRESULT now_visible = SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0);
  if (now_visible != first_visible) {
    SendMessageW(edit_, EM_LINESCROLL, 0, first_visible - now_visible);
  }
  SendMessageW(edit_, WM_SETREDRAW, TRUE, 0);
  if (complete && AppearsInView(edit_, old_length))
    InvalidateRect(edit_, nullptr, TRUE);

  if (!complete)
    Err::RaiseRuntime(rt::kOutOfMemory);
}

}  // namespace wb::console
