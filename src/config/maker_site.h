#pragma once

#include <string_view>

namespace larkspan {

/// Scheme and host of the maker's web site, without a trailing slash: the base of the manual,
/// FAQ, update and About links. Kept under the reserved .example domain.
inline constexpr std::string_view kMakerSiteBase = "http://lark.example";

/// The host of kMakerSiteBase as the About dialog's link shows it.
inline constexpr std::string_view kMakerSiteDomain = "lark.example";

static_assert(kMakerSiteBase.ends_with(kMakerSiteDomain));

} // namespace larkspan
