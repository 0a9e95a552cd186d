#include "refsuite/native.h"

#include <memory>
#include <utility>

#include "bridge/native_registry.h"
#include "core/ref_counted.h"
#include "core/text.h"
#include "refsuite/catalog.h"
#include "refsuite/host_hook.h"
#include "refsuite/instance.h"
#include "refsuite/suite.h"

namespace refsuite {

namespace {

thread_local int t_inside = 0;

struct Inside {
  Inside() { ++t_inside; }
  ~Inside() { --t_inside; }
  Inside(const Inside&) = delete;
  Inside& operator=(const Inside&) = delete;
};

// An instance as a native object: shared between threads by an atomic count.
class NativeObject final : public wb::RefCountedThreadSafe<NativeObject, InstanceHolder> {
 public:
  explicit NativeObject(std::unique_ptr<Instance> core) : core_(std::move(core)) {}

  wb::Variant Invoke(wb::StringView name, wb::CallKind kind, wb::Args& args) override {
    const Inside inside;
    return core_->Invoke(name, kind, args);
  }
  Instance& instance() override { return *core_; }

 private:
  friend class wb::RefCountedThreadSafe<NativeObject, InstanceHolder>;
  // The instance goes while the binding counts as inside: its release is
  // the suite's own work.
  ~NativeObject() {
    const Inside inside;
    core_.reset();
  }

  std::unique_ptr<Instance> core_;
};

wb::ObjectRef Wrap(std::unique_ptr<Instance> instance) {
  return wb::ObjectRef(new NativeObject(std::move(instance)));
}

}  // namespace

void InstallNative() {
  Suite::Get().SetObjectMaker(&Wrap);
  for (const Component& component : Catalog()) {
    const wb::String prog_id = wb::FromUtf8(component.prog_id);
    wb::NativeRegistry::Instance().Register(prog_id, [prog_id] {
      const Inside inside;
      return Suite::Get().Create(prog_id);
    });
  }
}

void LoadScenarioText(const std::string& json, const std::string& name) {
  Suite::Get().LoadText(json, name);
}

void LoadScenarioFile(const std::string& path) {
  Suite::Get().LoadFile(path);
}

void ResetScenario() {
  Suite::Get().Reset();
}

std::vector<nlohmann::json> Journal() {
  return Suite::Get().journal().Entries();
}

void ClearJournal() {
  Suite::Get().journal().Clear();
}

int Interactions() {
  return Suite::Get().Interactions();
}

int LiveCount(const std::string& prog_id) {
  return Suite::Get().LiveCount(prog_id);
}

int TotalLive() {
  return Suite::Get().TotalLive();
}

bool InsideNativeBinding() {
  return t_inside > 0;
}

}  // namespace refsuite

namespace refsuite {

void SetHostHook(std::function<void()> hook) {
  if (!hook) {
    InstallHostHook(nullptr);
    return;
  }
  InstallHostHook([hook = std::move(hook)] {
    // The host's code, not the suite's.
    struct Outside {
      int saved = std::exchange(t_inside, 0);
      ~Outside() { t_inside = saved; }
    } outside;
    hook();
  });
}

}  // namespace refsuite
