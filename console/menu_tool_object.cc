#include "console/menu_tool_object.h"

#include "core/err.h"
#include "core/ref_counted.h"
#include "core/runtime_errors.h"
#include "core/variant.h"

namespace wb::console {

namespace {

// Lives on the console's thread only: a plain count suffices.
class ToolObject final : public RefCounted<ToolObject> {
 public:
  explicit ToolObject(const Tool& tool) : tool_(tool) {}

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
  friend class RefCounted<ToolObject>;
  ~ToolObject() = default;

  const Tool& tool_;
};

}  // namespace

ObjectRef MakeToolObject(const Tool& tool) {
  return ObjectRef(new ToolObject(tool));
}

}  // namespace wb::console
