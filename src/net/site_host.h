// The host of an address, or its site's main domain, optionally with the scheme in front. It
// names engines in the tree, builds home addresses for site titles and names the icon cache.
#pragma once

#include <string_view>

#include "text/local_text.h"

namespace trasslo {

// The host: from just behind the first "//" (or from the start when there is none) up to the
// next "/", letter case and port kept. With `main_domain` it becomes the main domain (two labels,
// three behind a compound suffix such as ".com.cn"), unless the host is "www." + that domain.
// With `with_scheme` and a "://" in the address, everything up to that "://" goes in front.
//   site_host("http://news.example.com/a", true, true) == "http://example.com"
//   site_host("https://WWW.Example.com/x", true) == "WWW.Example.com"
LocalText site_host(std::string_view address, bool main_domain = false, bool with_scheme = false);

// True when the lower-cased host contains "." + one of com net org edu gov tel info name + ".".
bool has_compound_suffix(std::string_view host);

}  // namespace trasslo
