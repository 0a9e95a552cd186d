#include "tests/proof/console_rig.h"

#include "console/menu_model.h"
#include "console/menu_tool_object.h"
#include "console/tool_click.h"
#include "core/err.h"
#include "core/runtime_errors.h"

namespace wb::proof {

Variant TestForm::Invoke(StringView, CallKind, Args&) {
  Err::RaiseRuntime(rt::kNoSuchMember);
}

void ConsoleRig::Click(StringView tool_name) {
  const console::Tool* tool = console::FindTool(tool_name);
  if (tool == nullptr)
    Err::RaiseRuntime(rt::kInvalidProcedureCall);
  console::OnToolClick(console::MakeToolObject(*tool), actions_);
}

}  // namespace wb::proof
