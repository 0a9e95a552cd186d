// The bridge's calling conventions, against a scripted in-test component.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bridge/bridge.h"
#include "bridge/convert.h"
#include "bridge/native_registry.h"
#include "bridge/runtime_global.h"
#include "bridge/thread_state.h"
#include "core/err.h"
#include "core/platform.h"
#include "core/ref_counted.h"
#include "core/runtime_errors.h"
#include "core/trap.h"
#include "tests/support/stack_object.h"

namespace wb {
namespace {

int g_live = 0;

// A component whose every member is one scripted function; counts instances.
class Fake final : public RefCounted<Fake> {
 public:
  using Handler = std::function<Variant(StringView, CallKind, Args&)>;
  explicit Fake(Handler handler) : handler_(std::move(handler)) { ++g_live; }
  Variant Invoke(StringView name, CallKind kind, Args& args) override {
    calls.push_back(ToUtf8(name));
    return handler_(name, kind, args);
  }
  std::vector<std::string> calls;

 private:
  friend class RefCounted<Fake>;
  ~Fake() { --g_live; }
  Handler handler_;
};

ObjectRef MakeFake(Fake::Handler handler, Fake** out = nullptr) {
  auto* fake = new Fake(std::move(handler));
  if (out)
    *out = fake;
  return ObjectRef(fake);
}

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Err::Clear();
    g_live = 0;
  }
  void TearDown() override {
    TeardownThreadState();
    NativeRegistry::Instance().Clear();
    EXPECT_EQ(g_live, 0) << "a component reference was not released";
  }
};

TEST_F(BridgeTest, RaiseKeepsWhatTheRecordHoldsForMissingArguments) {
  Err::Get() = ErrRecord{7, u"Src", u"Desc", u"help.chm", 42};
  try {
    Err::Raise(1234);
  } catch (const RaisedError&) {
  }
  EXPECT_EQ(Err::Get(), (ErrRecord{1234, u"Src", u"Desc", u"help.chm", 42}));

  try {
    Err::Raise(99, String(u"Other"), std::nullopt, String(), 0);
  } catch (const RaisedError&) {
  }
  EXPECT_EQ(Err::Get(), (ErrRecord{99, u"Other", u"Desc", u"", 0}));
}

TEST_F(BridgeTest, RaisingNumberZeroRaisesInvalidProcedureCall) {
  EXPECT_THROW(Err::Raise(0, String(u"S")), RaisedError);
  EXPECT_EQ(Err::Number(), rt::kInvalidProcedureCall);
}

TEST_F(BridgeTest, ArmingATrapClearsTheRecordAndTheHandlerSeesTheFailure) {
  Err::Get() = ErrRecord{5, u"Old", u"Old", u"old.hlp", 1};
  bool body_saw_clear = false;
  const int result = Trap(
      [&] {
        body_saw_clear = Err::Get() == ErrRecord{};
        Err::Raise(77, String(u"S"), String(u"D"), String(u"F"), 3);
        return 1;
      },
      [] { return Err::Number() == 77 && Err::HelpContext() == 3 ? 2 : 3; });
  EXPECT_TRUE(body_saw_clear);
  EXPECT_EQ(result, 2);
}

TEST_F(BridgeTest, TrapTurnsForeignExceptionsIntoErrors) {
  Trap([]() -> void { throw std::bad_alloc(); }, [] {});
  EXPECT_EQ(Err::Number(), rt::kOutOfMemory);
  Trap([]() -> void { throw 42; }, [] {});
  EXPECT_EQ(Err::Number(), rt::kInternalError);
  EXPECT_EQ(Err::Source(), u"Workbench");
}

TEST_F(BridgeTest, ReRaisePassesAllFiveFieldsOn) {
  Err::Get() = ErrRecord{-2147024891, u"Comp", u"Denied", u"c.chm", 9};
  EXPECT_THROW(Err::ReRaise(), RaisedError);
  EXPECT_EQ(Err::Get(), (ErrRecord{-2147024891, u"Comp", u"Denied", u"c.chm", 9}));
}

TEST_F(BridgeTest, ByReferenceArgumentsAreWrittenBackForEachKind) {
  ObjectRef target = MakeFake([](StringView, CallKind, Args& args) {
    EXPECT_TRUE(args[0].by_ref() && args[1].by_ref() && args[2].by_ref() && args[3].by_ref());
    EXPECT_FALSE(args[4].by_ref());
    args[0].value() = Variant::Long(args[0].value().integral() + 1);
    args[1].value() = Variant::Str(args[1].value().str() + u"!");
    args[2].value() = Variant::Bool(false);
    args[3].value() = Variant::Object(ObjectRef());
    args[4].value() = Variant::Long(0);  // a value argument: the caller's copy is untouched
    return Variant();
  });
  Variant number = Variant::Long(41);
  Variant text = Variant::Str(u"hi");
  Variant flag = Variant::Bool(true);
  Variant object = Variant::Object(MakeFake([](StringView, CallKind, Args&) { return Variant(); }));
  Variant by_value = Variant::Long(5);
  CallMember(
      target, u"M",
      {Arg::Ref(number), Arg::Ref(text), Arg::Ref(flag), Arg::Ref(object), Arg::Val(by_value)});
  EXPECT_EQ(number, Variant::Long(42));
  EXPECT_EQ(text, Variant::Str(u"hi!"));
  EXPECT_EQ(flag, Variant::Bool(false));
  EXPECT_TRUE(object.IsObject() && object.object().IsNothing());
  EXPECT_EQ(by_value, Variant::Long(5));
}

TEST_F(BridgeTest, MembersAreInvokedWithTheirKinds) {
  std::vector<CallKind> kinds;
  ObjectRef target = MakeFake([&](StringView, CallKind kind, Args& args) {
    kinds.push_back(kind);
    if (kind == CallKind::kLet) {
      EXPECT_EQ(args.size(), 1u);
    }
    return Variant::Long(3);
  });
  EXPECT_EQ(GetMember(target, u"P"), Variant::Long(3));
  CallMember(target, u"M");
  LetMember(target, u"P", Variant::Integer(1));
  EXPECT_EQ(kinds, (std::vector<CallKind>{CallKind::kGet, CallKind::kCall, CallKind::kLet}));
}

TEST_F(BridgeTest, CallingOnNothingRaisesObjectNotSet) {
  EXPECT_THROW(CallMember(ObjectRef(), u"M"), RaisedError);
  EXPECT_EQ(Err::Number(), rt::kObjectNotSet);
}

TEST_F(BridgeTest, ObjectOrValueReadInvokesTheMemberTwice) {
  Fake* fake = nullptr;
  ObjectRef inner = MakeFake([](StringView, CallKind, Args&) { return Variant(); });
  ObjectRef target =
      MakeFake([&](StringView name, CallKind,
                   Args&) { return name == u"Obj" ? Variant::Object(inner) : Variant::Str(u"v"); },
               &fake);
  EXPECT_EQ(GetObjectOrValue(target, u"Val"), Variant::Str(u"v"));
  const Variant obj = GetObjectOrValue(target, u"Obj");
  ASSERT_TRUE(obj.IsObject());
  EXPECT_EQ(obj.object(), inner);
  EXPECT_EQ(fake->calls, (std::vector<std::string>{"Val", "Val", "Obj", "Obj"}));
}

TEST_F(BridgeTest, ObjectOrValueReadRaisesWhenTheObjectTurnsIntoAValue) {
  int calls = 0;
  ObjectRef inner = MakeFake([](StringView, CallKind, Args&) { return Variant(); });
  ObjectRef target = MakeFake([&](StringView, CallKind, Args&) {
    return ++calls == 1 ? Variant::Object(inner) : Variant::Long(1);
  });
  EXPECT_THROW(GetObjectOrValue(target, u"P"), RaisedError);
  EXPECT_EQ(Err::Number(), rt::kObjectRequired);
}

TEST_F(BridgeTest, ReferencesAreReleasedWhenAMemberRaises) {
  NativeRegistry::Instance().Register(u"Test.Raiser", [] {
    return MakeFake([](StringView, CallKind, Args&) -> Variant {
      Err::Raise(1001, String(u"Raiser"), String(u"boom"), String(u"r.chm"), 12);
    });
  });
  const bool handled = Trap(
      [] {
        ObjectRef a = CreateObject(u"test.raiser");  // ProgIDs ignore case
        ObjectRef b = a;
        CallMember(b, u"Go");
        return false;
      },
      [] { return g_live == 0; });
  EXPECT_TRUE(handled) << "the instance must be gone before the handler runs";
  EXPECT_EQ(Err::Get(), (ErrRecord{1001, u"Raiser", u"boom", u"r.chm", 12}));
}

TEST_F(BridgeTest, AProgIdThatIsNotRegisteredRaises429) {
  EXPECT_THROW(CreateObject(u"No.Such"), RaisedError);
  EXPECT_EQ(Err::Number(), rt::kCannotCreateObject);
  EXPECT_EQ(Err::Description(), u"ActiveX component can't create object");
}

TEST_F(BridgeTest, RuntimeGlobalSetsTheMousePointerAndUnloadsForms) {
  std::vector<int16_t> seen;
  platform::SetMousePointerObserver([&](int16_t p) { seen.push_back(p); });
  const Variant screen = GetMember(RuntimeGlobal(), u"Screen");
  LetMember(screen.object(), u"MousePointer", Variant::Integer(11));
  LetMember(screen.object(), u"mousepointer", Variant::Integer(0));
  EXPECT_EQ(GetMember(screen.object(), u"MousePointer"), Variant::Integer(0));
  platform::SetMousePointerObserver(nullptr);
  EXPECT_EQ(seen, (std::vector<int16_t>{11, 0}));
  EXPECT_EQ(RuntimeGlobal(), RuntimeGlobal()) << "one global object per thread";

  struct TestForm final : StackObject<>, Form {
    Variant Invoke(StringView, CallKind, Args&) override { return Variant(); }
    void Unload() override { unloaded = true; }
    bool unloaded = false;
  } form;
  CallMember(RuntimeGlobal(), u"Unload", {Arg::Val(Variant::Object(ObjectRef(&form)))});
  EXPECT_TRUE(form.unloaded);
  EXPECT_EQ(form.refs(), 0);
  EXPECT_THROW(CallMember(RuntimeGlobal(), u"Unload", {Arg::Val(Variant::Long(1))}), RaisedError);
  EXPECT_EQ(Err::Number(), rt::kObjectRequired);
}

TEST_F(BridgeTest, ThreadStateLivesWhileItsUsersLive) {
  struct Cache {
    ObjectRef held;
  };
  {
    ThreadStateUser user;
    PerThread<Cache>().held = MakeFake([](StringView, CallKind, Args&) { return Variant(); });
    { ThreadStateUser second; }
    EXPECT_EQ(g_live, 1) << "state must outlive all but the last user";
  }
  EXPECT_EQ(g_live, 0) << "the last user's release tears the state down";
  EXPECT_TRUE(PerThread<Cache>().held.IsNothing()) << "fresh state after a teardown";
}

// The host's code runs while the thread's state is torn down (a cached
// component pumps messages while it is released): there it creates an
// object of ours, makes a call that fills the cache, and drops the object.
// The teardown under way finishes; nothing is left cached or held.
TEST_F(BridgeTest, HostCodeInsideTheTeardownLeavesTheStateWhole) {
  struct Cache {
    ObjectRef held;
  };
  struct Pumping {
    std::function<void()> on_release;
    ~Pumping() {
      if (on_release)
        on_release();
    }
  };
  int reentered = 0;
  std::function<void()> host_call = [&] {
    ++reentered;
    ThreadStateUser object;
    PerThread<Cache>().held = MakeFake([](StringView, CallKind, Args&) { return Variant(); });
  };
  // Each row fills the cache and then ends the state its own way.
  const struct {
    const char* what;
    bool endless;  // the host's code runs again at every release
    std::function<void()> end;
  } rows[] = {
      {"the last object released", false, [] { ThreadStateUser last; }},
      {"released on another thread, then a new object here", false,
       [] {
         auto* object = new ThreadStateUser;
         std::thread([object] { delete object; }).join();
         ThreadStateUser next;
         EXPECT_EQ(ThreadStateUser::LiveOnThisThread(), 1);
       }},
      {"a host that calls in at every release", true, [] { ThreadStateUser last; }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    reentered = 0;
    PerThread<Pumping>().on_release = row.endless ? std::function<void()>([&] {
      host_call();
      PerThread<Pumping>().on_release = host_call;  // cached again, to run again
    })
                                                  : host_call;
    row.end();
    if (row.endless) {
      EXPECT_GE(reentered, 2);
      EXPECT_LE(reentered, 8) << "a teardown that never ends";
      PerThread<Pumping>().on_release = nullptr;
      TeardownThreadState();
    } else {
      EXPECT_EQ(reentered, 1);
    }
    EXPECT_EQ(g_live, 0);
    EXPECT_EQ(ThreadStateUser::LiveOnThisThread(), 0);
  }
}

}  // namespace
}  // namespace wb
