// A console without a window: a text log box, a form that counts its
// unloads, and the real tool actions bound to them, so that a tool click
// runs the real launchers against the reference suite.
#pragma once

#include "bridge/runtime_global.h"
#include "console/launcher_actions.h"
#include "console/log_box.h"
#include "core/automation_object.h"
#include "core/ref_counted.h"
#include "core/variant.h"
#include "tests/proof/allocation_fault.h"
#include "tests/support/stack_object.h"

namespace wb::proof {

class TextLogBox final : public console::LogBox {
 public:
  String Text() const override { return text_; }
  // Stands in for the window's edit control: none of the product's memory.
  void Append(StringView line) override {
    const AllocationFault::Outside outside;
    text_ += line;
  }

 private:
  String text_;
};

// The console form as the runtime's Unload sees it. Lives on the stack: the
// count only checks that every reference is given back.
class TestForm final : public StackObject<>, public Form {
 public:
  Variant Invoke(StringView name, CallKind kind, Args& args) override;
  void Unload() override { ++unloads_; }

  int unloads() const { return unloads_; }

 private:
  int unloads_ = 0;
};

class ConsoleRig {
 public:
  ConsoleRig() : actions_(log_, form_) {}

  // A click on the menu tool `tool_name`, reported by the menu bar.
  void Click(StringView tool_name);

  const TextLogBox& log() const { return log_; }
  const TestForm& form() const { return form_; }

 private:
  TextLogBox log_;
  TestForm form_;
  console::LauncherActions actions_;
};

}  // namespace wb::proof
