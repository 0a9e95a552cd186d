// The console's menu: the bands of the menu-bar control and its twelve tools,
// fixed at design time. Ids and captions serve the display; the click
// dispatch goes by tool name alone.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/text.h"

namespace wb::console {

enum class BandId { kMnuBand1, kPopupBand1, kPopupBand2, kPopupBand3 };
enum class BandKind { kMenuBar, kPopup };

struct Tool {
  int32_t id;
  StringView name;
  StringView caption;
  BandId band;
  std::optional<BandId> opens;  // the popup that the tool opens, if any
  bool begins_group;            // a dividing line stands above it
};

struct Band {
  BandId id;
  StringView name;  // also its caption
  BandKind kind;
  std::vector<int32_t> tool_ids;  // in display order
};

// The twelve tools in id order (1 to 12).
std::span<const Tool> Tools();

// The bands in their stored order: the menu bar, then the three popups.
std::span<const Band> Bands();

// The tool with this id or name (exact), or nullptr.
const Tool* FindTool(int32_t id);
const Tool* FindTool(StringView name);

const Band& GetBand(BandId id);

}  // namespace wb::console
