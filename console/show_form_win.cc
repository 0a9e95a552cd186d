// `ShowWorkbenchForm`: opens a fresh console modally on the calling thread.
#include "console/console.h"
#include "console/console_form_win.h"

namespace wb::console {

void ShowWorkbenchForm() {
  // The only reference to the window; released on every path, the error path
  // included, so that the instance goes when the call ends.
  ObjectRef form = ConsoleForm::Create();
  static_cast<ConsoleForm*>(form.get())->ShowModal();
  form.Reset();
}

}  // namespace wb::console
