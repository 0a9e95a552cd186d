#include "tests/wine/ui/fake_suite.h"

#include "bridge/convert.h"
#include "core/err.h"
#include "core/ref_counted.h"
#include "core/variant.h"

namespace wbui {

namespace {

std::string Describe(const wb::Variant& value) {
  std::string kind = wb::KindName(value.kind());
  if (value.IsObject() || value.IsEmpty())
    return kind;
  return kind + " " + wb::ToUtf8(wb::ToString(value));
}

class Component final : public wb::RefCounted<Component> {
 public:
  Component(FakeSuite& suite, std::string prog_id) : suite_(suite), prog_id_(std::move(prog_id)) {
    suite_.Note("new " + prog_id_);
  }

  wb::Variant Invoke(wb::StringView name, wb::CallKind kind, wb::Args& args) override {
    const std::string member = wb::ToUtf8(name);
    std::string entry = prog_id_ + (kind == wb::CallKind::kLet ? " let " : " ") + member + "(";
    for (size_t i = 0; i < args.size(); ++i) {
      entry += (i ? ", " : "") + Describe(args[i].value());
    }
    suite_.Note(entry + ")");
    if (member == "GetProperty")
      return wb::Variant::Str(u"clerk01");
    if (member == "AccessCheck") {
      return wb::Variant::Bool(!args.empty() && wb::ToLong(args[1].value()) != 2811);
    }
    if (member == "ShowReckoning") {
      if (args.size() == 2 && wb::ToBool(args[1].value())) {
        wb::Err::Raise(1001, u"DayClose", u"数据库忙", u"", 0);
      }
      return wb::Variant::Bool(true);
    }
    return wb::Variant();
  }

 private:
  friend class wb::RefCounted<Component>;
  ~Component() { suite_.Note("free " + prog_id_); }
  FakeSuite& suite_;
  std::string prog_id_;
};

}  // namespace

FakeSuite::FakeSuite() {
  InitializeCriticalSection(&lock_);
}

FakeSuite::~FakeSuite() {
  DeleteCriticalSection(&lock_);
}

wb::ObjectRef FakeSuite::Create(wb::StringView prog_id) {
  const std::string name = wb::ToUtf8(prog_id);
  if (name == "Polyglot.LocaleState") {
    wb::Err::Raise(429, u"Workbench", u"ActiveX component can't create object", u"", 0);
  }
  return wb::ObjectRef(new Component(*this, name));
}

std::vector<std::string> FakeSuite::Take() {
  EnterCriticalSection(&lock_);
  std::vector<std::string> taken = std::move(journal_);
  journal_.clear();
  LeaveCriticalSection(&lock_);
  return taken;
}

void FakeSuite::Note(std::string entry) {
  EnterCriticalSection(&lock_);
  journal_.push_back(std::move(entry));
  LeaveCriticalSection(&lock_);
}

}  // namespace wbui
