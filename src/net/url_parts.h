// Splitting an address into the host, port and object path that a request connects to.
#pragma once

#include <string_view>

#include "text/local_text.h"

namespace trasslo {

// Host of the address, lower-cased; with `keep_port` the ":port" stays. A missing scheme is
// taken as http. The host ends at the first '/', '?' or '#'.
//   url_host("HTTP://Example.com:8080/a") == "example.com"
//   url_host("http://example.com?x=1") == "example.com"
LocalText url_host(std::string_view url, bool keep_port = false);

// The explicit port, else 443 for "https" addresses and 80 for all others.
int url_port(std::string_view url);

// The object path: everything from the first '/', '?' or '#' behind the host to the end
// (query and fragment included), with a '/' put in front of a bare query or fragment;
// "/" when the address has nothing behind the host.
//   url_path("http://example.com?x=1") == "/?x=1"
LocalText url_path(std::string_view url);

}  // namespace trasslo
