#include "launchers/platform_notice.h"

namespace wb::modpublic {

// The native build has no desktop: a notice without a sink goes nowhere.
void ShowPlatformNotice(const Notice&) {}

}  // namespace wb::modpublic
