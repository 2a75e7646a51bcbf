// Whether robots directives forbid indexing a page, as a robots meta tag's content or an
// X-Robots-Tag header states them. Only the crawlers a trace is meant for count: a header
// line addressed to another crawler ("otherbot: noindex") is not ours.
#pragma once

#include <string_view>

namespace trasslo {

// A directive list ("noindex, nofollow"): true when it holds "noindex" or "none" (which means
// noindex and nofollow), ASCII case folded, separated by commas or spaces.
bool directives_forbid_indexing(std::string_view directives);

// One X-Robots-Tag header value. Directives may be preceded by a crawler name and a colon;
// those then apply to that crawler only, up to the next name:
//   "noindex"                          true
//   "googlebot: noindex"               true (and "baiduspider: ..." alike)
//   "otherbot: noindex, nofollow"      false
//   "unavailable_after: 25 Jun 2010"   false (a directive with a value, not a crawler)
bool x_robots_tag_forbids_indexing(std::string_view value);

}  // namespace trasslo
