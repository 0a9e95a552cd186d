#include "console/menu_tool_object.h"

#include "bridge/err.h"
#include "bridge/runtime_errors.h"
#include "bridge/variant.h"

namespace wb::console {

namespace {

// Lives on the console's thread only: a plain count suffices.
class ToolObject final : public ObjectImpl {
 public:
  explicit ToolObject(const Tool& tool) : tool_(tool) {}

  void AddRef() noexcept override { ++refs_; }
  void Release() noexcept override {
    if (--refs_ == 0)
      delete this;
  }

  Variant Invoke(StringView name, CallKind kind, Args& args) override {
    if (kind == CallKind::kLet)
      Err::RaiseRuntime(rt::kNoSuchMember);
    if (!args.empty())
      Err::RaiseRuntime(rt::kWrongArgumentCount);
    if (EqualsIgnoreAsciiCase(name, u"Name"))
      return Variant::Str(String(tool_.name));
    if (EqualsIgnoreAsciiCase(name, u"ID"))
      return Variant::Long(tool_.id);
    if (EqualsIgnoreAsciiCase(name, u"Caption"))
      return Variant::Str(String(tool_.caption));
    Err::RaiseRuntime(rt::kNoSuchMember);
  }

 private:
  ~ToolObject() = default;

  const Tool& tool_;
  int refs_ = 0;
};

}  // namespace

AutomationObject MakeToolObject(const Tool& tool) {
  return AutomationObject(new ToolObject(tool));
}

}  // namespace wb::console
