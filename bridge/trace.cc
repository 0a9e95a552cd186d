#include "bridge/trace.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "bridge/platform.h"
#include "bridge/ref_counted.h"
#include "bridge/trace_file.h"
#include "bridge/variant.h"

namespace wb::trace {

namespace internal {
std::atomic<int> g_state{kUnread};
}  // namespace internal

namespace {

using internal::g_state;

// Texts beyond this many UTF-16 units are cut in the trace.
constexpr size_t kTextLimit = 256;

std::atomic<TraceFile*> g_file{nullptr};

void Install(const std::string& path) {
  // Every file installed stays open for the life of the process: another
  // thread may still be writing to an earlier one (tests reconfigure).
  static std::vector<std::unique_ptr<TraceFile>> files;
  std::unique_ptr<TraceFile> file = path.empty() ? nullptr : OpenTraceFile(path);
  TraceFile* raw = file.get();
  if (file)
    files.push_back(std::move(file));
  g_file.store(raw, std::memory_order_release);
  g_state.store(raw ? internal::kOn : internal::kOff, std::memory_order_release);
}

// ---- One line of JSON ---------------------------------------------------------

void AppendQuoted(std::string& out, std::string_view utf8) {
  out += '"';
  for (const char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

// `text` cut to the limit (never inside a surrogate pair).
StringView Cut(StringView text) {
  if (text.size() <= kTextLimit)
    return text;
  size_t end = kTextLimit;
  if (text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF)
    --end;
  return text.substr(0, end);
}

// `value` quoted and cut to the limit; when it is cut, `length_key` follows
// with its whole length.
void AppendText(std::string& out, StringView value, const std::string& length_key) {
  AppendQuoted(out, ToUtf8(Cut(value)));
  if (value.size() > kTextLimit)
    out.append(",\"").append(length_key).append("\":").append(std::to_string(value.size()));
}

std::string Number(double value) {
  if (!std::isfinite(value))
    return std::isnan(value) ? "\"NaN\"" : (value > 0 ? "\"Infinity\"" : "\"-Infinity\"");
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

class Line {
 public:
  explicit Line(const char* event) {
    text_ = "{\"time\":\"" + LocalTimeStamp() +
            "\",\"pid\":" + std::to_string(platform::CurrentProcessId()) +
            ",\"thread\":" + std::to_string(CurrentThreadId()) + ",\"event\":\"" + event + "\"";
  }

  // A text field; when it is cut, "<key>_length" gives its whole length.
  Line& Text(const char* key, StringView value) {
    Key(key);
    AppendText(text_, value, std::string(key) + "_length");
    return *this;
  }
  Line& Raw(const char* key, const std::string& json) {
    Key(key);
    text_ += json;
    return *this;
  }
  std::string Finish() && { return std::move(text_) + "}"; }

 private:
  void Key(const char* key) {
    text_ += ",\"";
    text_ += key;
    text_ += "\":";
  }
  std::string text_;
};

// A value as the suite's journal writes it: {"type": kind, "value": ...},
// with `more` (",\"key\":json...") before the closing brace.
std::string ValueJson(const Variant& value, const std::string& more = {});

std::string ErrorJson(const ErrRecord& error) {
  std::string out = "{\"number\":" + std::to_string(error.number);
  const auto text = [&out](const std::string& key, const String& value) {
    out.append(",\"").append(key).append("\":");
    AppendText(out, value, key + "_length");
  };
  text("source", error.source);
  text("description", error.description);
  text("helpfile", error.help_file);
  out += ",\"helpcontext\":" + std::to_string(error.help_context) + "}";
  return out;
}

void Emit(Line&& line) noexcept {
  try {
    TraceFile* file = g_file.load(std::memory_order_acquire);
    if (file == nullptr || g_state.load(std::memory_order_acquire) != internal::kOn)
      return;
    if (!file->AppendLine(std::move(line).Finish()))
      g_state.store(internal::kOff, std::memory_order_release);
  } catch (...) {
    // Out of memory: the line is lost, the call goes on.
  }
}

// Runs `write` for a trace line when the trace is on; nothing it does can
// reach the caller.
template <class Write>
void Trace(Write&& write) noexcept {
  if (!Enabled())
    return;
  try {
    write();
  } catch (...) {
  }
}

// ---- Traced components -----------------------------------------------------

const char* EventName(CallKind kind) {
  switch (kind) {
    case CallKind::kGet:
      return "get";
    case CallKind::kCall:
      return "call";
    case CallKind::kLet:
      return "let";
  }
  return "call";
}

// A component created by ProgID, seen through the trace: each member call
// and the release of the last reference are written, then passed on.
class TracedObject final : public RefCountedThreadSafe<TracedObject> {
 public:
  TracedObject(String prog_id, AutomationObject inner)
      : prog_id_(std::move(prog_id)), inner_(std::move(inner)) {}

  static const TracedObject* Of(const AutomationObject& object) noexcept {
    return dynamic_cast<const TracedObject*>(object.get());
  }
  const String& prog_id() const noexcept { return prog_id_; }
  const AutomationObject& inner() const noexcept { return inner_; }

  Variant Invoke(StringView name, CallKind kind, Args& args) override;

 private:
  friend class RefCountedThreadSafe<TracedObject>;
  // The last reference is gone: written before the component is let go.
  ~TracedObject() {
    Trace([&] { Emit(std::move(Line("release").Text("progid", prog_id_))); });
  }

  String prog_id_;
  AutomationObject inner_;
};

std::string ValueJson(const Variant& value, const std::string& more) {
  std::string out = "{\"type\":\"";
  out += KindName(value.kind());
  out += "\",\"value\":";
  switch (value.kind()) {
    case VarKind::kEmpty:
    case VarKind::kNull:
      out += "null";
      break;
    case VarKind::kBoolean:
      out += value.integral() != 0 ? "true" : "false";
      break;
    case VarKind::kInteger:
    case VarKind::kLong:
    case VarKind::kByte:
    case VarKind::kError:
      out += std::to_string(value.integral());
      break;
    case VarKind::kCurrency:
      out += Number(static_cast<double>(value.integral()) / 10000.0);
      break;
    case VarKind::kSingle:
    case VarKind::kDouble:
    case VarKind::kDate:
      out += Number(value.real());
      break;
    case VarKind::kString:
      AppendText(out, value.str(), "length");
      break;
    case VarKind::kObject:
      if (const TracedObject* traced = TracedObject::Of(value.object())) {
        out += "{\"progid\":";
        AppendQuoted(out, ToUtf8(traced->prog_id()));
        out += "}";
      } else {
        out += value.object().IsNothing() ? "null" : "\"object\"";
      }
      break;
    case VarKind::kUnsupported:
      out += std::to_string(value.unsupported_vartype());
      break;
  }
  return out + more + "}";
}

std::string ArgsJson(const Args& args) {
  std::string out = "[";
  for (const Arg& arg : args) {
    if (out.size() > 1)
      out += ',';
    out += ValueJson(arg.value(), arg.by_ref() ? ",\"byref\":true" : ",\"byref\":false");
  }
  return out + "]";
}

Variant TracedObject::Invoke(StringView name, CallKind kind, Args& args) {
  // The arguments as they go out, other components named by their ProgIDs.
  std::string args_json;
  std::vector<Variant> before;
  Trace([&] {
    args_json = ArgsJson(args);
    before.reserve(args.size());
    for (const Arg& arg : args)
      before.push_back(arg.value());
  });
  const auto emit = [&](const Variant* result, const ErrRecord* error) noexcept {
    Trace([&] {
      Line line(EventName(kind));
      line.Text("progid", prog_id_).Text("member", name).Raw("args", args_json);
      std::string written;
      for (size_t i = 0; i < args.size() && i < before.size(); ++i) {
        if (!args[i].by_ref() || args[i].value() == before[i])
          continue;
        written += written.empty() ? '[' : ',';
        written += ValueJson(args[i].value(), ",\"position\":" + std::to_string(i + 1));
      }
      if (!written.empty())
        line.Raw("written", written + "]");
      if (result)
        line.Raw("result", ValueJson(*result));
      if (error)
        line.Raw("error", ErrorJson(*error));
      Emit(std::move(line));
    });
  };

  // The component is handed the objects that it knows, not their tracing
  // wrappers (also once the trace is off); a caller's variable gets its
  // wrapper back afterwards.
  std::vector<std::pair<size_t, AutomationObject>> unwrapped;
  for (size_t i = 0; i < args.size(); ++i) {
    Variant& value = args[i].value();
    if (!value.IsObject())
      continue;
    if (const TracedObject* traced = Of(value.object())) {
      unwrapped.emplace_back(i, value.object());
      value = Variant::Object(traced->inner());
    }
  }
  const auto rewrap = [&]() noexcept {
    for (auto& [i, wrapper] : unwrapped) {
      Variant& value = args[i].value();
      if (value.IsObject() && value.object() == Of(wrapper)->inner())
        value = Variant::Object(std::move(wrapper));
    }
  };

  Variant result;
  try {
    result = inner_.get()->Invoke(name, kind, args);
  } catch (const RaisedError&) {
    rewrap();
    emit(nullptr, &Err::Get());
    throw;
  }
  rewrap();
  emit(&result, nullptr);
  return result;
}

const char* IconName(int32_t style) {
  switch (style & 0xF0) {
    case 0x10:
      return "critical";
    case 0x20:
      return "question";
    case 0x30:
      return "exclamation";
    case 0x40:
      return "information";
    default:
      return "none";
  }
}

}  // namespace

namespace internal {

bool ReadConfiguration() noexcept {
  // Once per process, whichever thread comes first.
  static const bool read = [] {
    try {
      Install(ConfiguredPath());
    } catch (...) {
      g_state.store(kOff, std::memory_order_release);
    }
    return true;
  }();
  static_cast<void>(read);
  return g_state.load(std::memory_order_acquire) == kOn;
}

}  // namespace internal

void HostEnter(StringView method, const int32_t* id) noexcept {
  Trace([&] {
    Line line("host-enter");
    line.Text("method", method);
    if (id)
      line.Raw("id", std::to_string(*id));
    Emit(std::move(line));
  });
}

void HostLeave(StringView method, const int32_t* id, const ErrRecord& error) noexcept {
  Trace([&] {
    Line line("host-leave");
    line.Text("method", method);
    if (id)
      line.Raw("id", std::to_string(*id));
    if (error.number == 0)
      line.Raw("outcome", "\"ok\"");
    else
      line.Raw("outcome", "\"error\"").Raw("error", ErrorJson(error));
    Emit(std::move(line));
  });
}

void HostRefused(StringView method, int32_t hresult) noexcept {
  Trace([&] {
    char text[16];
    std::snprintf(text, sizeof text, "\"0x%08x\"", static_cast<unsigned>(hresult));
    Emit(std::move(Line("host-refused").Text("method", method).Raw("hresult", text)));
  });
}

AutomationObject Created(StringView prog_id, AutomationObject object) {
  if (!Enabled() || object.IsNothing())
    return object;
  try {
    AutomationObject traced(new TracedObject(String(prog_id), object));
    Emit(std::move(Line("create").Text("progid", prog_id)));
    return traced;
  } catch (...) {
    // Out of memory: the component goes on untraced.
    return object;
  }
}

void CreateFailed(StringView prog_id, const ErrRecord& error) noexcept {
  Trace([&] {
    Emit(std::move(Line("create-failed").Text("progid", prog_id).Raw("error", ErrorJson(error))));
  });
}

void Notice(StringView title, StringView text, int32_t style) noexcept {
  Trace([&] {
    Emit(std::move(Line("notice")
                       .Text("title", title)
                       .Text("text", text)
                       .Raw("style", std::to_string(style))
                       .Raw("icon", std::string("\"") + IconName(style) + "\"")));
  });
}

void ConfigureForTesting(const std::string& path) {
  Install(path);
}

}  // namespace wb::trace
