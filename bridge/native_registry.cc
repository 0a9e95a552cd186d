#include "bridge/native_registry.h"

#include <map>
#include <mutex>

#include "core/err.h"
#include "core/runtime_errors.h"

namespace wb {

namespace {

std::mutex g_mutex;
std::map<String, NativeRegistry::Factory>& Table() {
  static auto* table = new std::map<String, NativeRegistry::Factory>;
  return *table;
}

}  // namespace

NativeRegistry& NativeRegistry::Instance() {
  static auto* registry = new NativeRegistry;
  return *registry;
}

#ifndef _WIN32
ComponentFactory& DefaultComponentFactory() {
  return NativeRegistry::Instance();
}
#endif

void NativeRegistry::Register(StringView prog_id, Factory factory) {
  std::lock_guard lock(g_mutex);
  Table()[AsciiUpper(prog_id)] = std::move(factory);
}

void NativeRegistry::Unregister(StringView prog_id) {
  std::lock_guard lock(g_mutex);
  Table().erase(AsciiUpper(prog_id));
}

void NativeRegistry::Clear() {
  std::lock_guard lock(g_mutex);
  Table().clear();
}

ObjectRef NativeRegistry::Create(StringView prog_id) {
  Factory factory;
  {
    std::lock_guard lock(g_mutex);
    auto it = Table().find(AsciiUpper(prog_id));
    if (it != Table().end())
      factory = it->second;
  }
  if (!factory)
    Err::RaiseRuntime(rt::kCannotCreateObject);
  return factory();
}

}  // namespace wb
