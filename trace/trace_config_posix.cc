// The native build's places: the environment alone.
#include "trace/trace_config.h"

#include <cstdlib>

namespace wb::trace {

namespace {

Setting FromEnvironment(const char* name) {
  Setting setting;
  if (const char* value = std::getenv(name)) {
    setting.kind = Setting::kText;
    setting.text = value;
  }
  return setting;
}

}  // namespace

TracePlaces ReadTracePlaces() {
  TracePlaces places;
  PlaceSettings& environment = places[static_cast<size_t>(Place::kEnvironment)];
  environment.file = FromEnvironment("WORKBENCH_TRACE");
  environment.limit = FromEnvironment("WORKBENCH_TRACE_LIMIT");
  return places;
}

}  // namespace wb::trace
