// The site of an address: the registrable domain of its host by the public suffix list
// (libpsl), so that "s1.example.com.cn" and "www.example.com.cn" are one site. Politeness is
// kept per site, and runs are split across machines by site.
#pragma once

#include <string>
#include <string_view>

namespace trasslo {

// The site of a host name (UTF-8; letter case, a trailing dot and IDN labels as a browser reads
// them): its registrable domain, lower-cased. An IP address is its own site, and so is a host
// that has no registrable domain (a bare public suffix, a single label such as "localhost").
//   site_of_host("WWW.Example.com.cn") == "example.com.cn"   site_of_host("127.0.0.2") ==
//   "127.0.0.2"
std::string site_of_host(std::string_view host);

// The site of an address or address template (local text): the host between "://" (or the
// start) and the first of "/?#", without credentials and port. Empty when there is no host.
std::string site_of_address(std::string_view address);

}  // namespace trasslo
