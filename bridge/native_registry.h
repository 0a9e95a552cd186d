// The native build's component registry: ProgIDs mapped to C++ factories, with
// the same creation semantics as COM (a ProgID that is not there raises 429).
#pragma once

#include <functional>

#include "bridge/bridge.h"

namespace wb {

class NativeRegistry final : public ComponentFactory {
 public:
  using Factory = std::function<ObjectRef()>;

  // The process's registry (on the native build, the default factory).
  static NativeRegistry& Instance();

  // Maps `prog_id` (matched without regard to ASCII case) to `factory`,
  // replacing an earlier entry.
  void Register(StringView prog_id, Factory factory);
  void Unregister(StringView prog_id);
  void Clear();

  ObjectRef Create(StringView prog_id) override;
};

}  // namespace wb
