// The site icon cache on disk and the rules of fetching one icon: where a host's file lives,
// which addresses are tried for it, and which answers count as "not an icon".
//
// The cache is the folder "图标缓存" in the program folder, one "<host>.ico" per site, the host
// being site_host() of the engine's address (scheme dropped, letter case kept). Folder and file
// names are local text on the inside and UTF-8 on disk.
#pragma once

#include <filesystem>
#include <string_view>
#include <vector>

#include "text/local_text.h"

namespace trasslo {

// "<program folder>/图标缓存".
std::filesystem::path icon_cache_folder(const std::filesystem::path& program_folder);

// The icon file of the site of `address`, e.g. ".../图标缓存/s.example.com.ico" for
// "http://s.example.com/s?q={*}". Engines of one host share the file.
std::filesystem::path icon_file_path(const std::filesystem::path& program_folder,
                                     std::string_view address);

// The whole file; empty when it is missing, unreadable or empty (all of which count as "not
// cached").
ByteBuffer read_icon_file(const std::filesystem::path& file);

// Whether read_icon_file would give bytes, without reading them: the file opens for reading and
// is not empty. The worker asks this of every engine at each start.
bool icon_file_cached(const std::filesystem::path& file);

// Replaces `file` with `bytes` through a temporary file renamed over it, so that an interrupted
// write never leaves a truncated icon that would count as cached for ever. False on failure.
bool write_icon_file(const std::filesystem::path& file, const ByteBuffer& bytes);

// True when the body holds the two bytes "</": the site answered with an HTML page.
bool is_html_answer(const ByteBuffer& body);

// The icon addresses tried for an engine, in order: the scheme and host + "/favicon.ico", the
// scheme and main domain + "/favicon.ico", and that with "://" turned into "://www." — the last
// one left out when the main-domain base already holds "://www." (any letter case).
//   "http://s.example.com/s?q={*}" -> http://s.example.com/favicon.ico,
//     http://example.com/favicon.ico, http://www.example.com/favicon.ico
std::vector<LocalText> icon_addresses(std::string_view address);

// True when the address's first 8 bytes, lower-cased, are "https://": such sites are fetched
// through page_request, all others through HttpClient.
bool is_https_address(std::string_view address);

}  // namespace trasslo
