// The robots.txt of the sites an engine check visits, fetched once per scheme, host and port
// in one check, with the trace visits' agent name, through the request layer. What a site's
// answer means follows RFC 9309: a 4xx status (or a redirect chain without end) is no
// robots.txt and allows everything; a 5xx status or no answer at all disallows everything; a
// file over 500 KiB is read up to that size.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "check/robots_rules.h"
#include "net/curl_request.h"

namespace trasslo {

// What robots.txt says about one address, for the report's `robots` column.
enum class RobotsVerdict {
    unknown,   // not asked: the visit never reached the site, or a stop gave the fetch up
    allow,     // robots.txt allows the address to Baiduspider and to Googlebot
    disallow,  // it disallows it to one of them, or the site answered 5xx or not at all
    none,      // the site has no robots.txt (4xx)
};

// "allow", "disallow", "none"; empty for unknown.
std::string_view robots_verdict_name(RobotsVerdict verdict);

// The largest part of a robots.txt that is read.
inline constexpr std::size_t kRobotsReadBytes = 500 * 1024;

class SiteRobots {
  public:
    // Whether the crawlers may fetch `address` (an absolute http:// or https:// address):
    // fetches the site's robots.txt the first time the site is asked about. Requests are made
    // on the calling thread and obey its abandon scopes; a fetch given up that way is not kept
    // and gives unknown. Safe to call from several threads; each site is fetched once.
    RobotsVerdict verdict_for(std::string_view address);

    // verdict_for in steps, for a caller that makes the request itself (the parallel check):
    // the verdict when the site's robots.txt is known already; else the request that fetches
    // it, whose answer learn() keeps, giving the verdict (unknown for an answer given up on a
    // stop, which is not kept). verdict_for is exactly these with the request made blocking.
    std::optional<RobotsVerdict> known_verdict(std::string_view address);
    HttpRequest fetch_request(std::string_view address);
    RobotsVerdict learn(std::string_view address, const HttpResponse& response);

    // How many robots.txt requests were made.
    std::size_t fetches() const;

  private:
    struct Site {
        std::mutex fetching;  // held while the site's robots.txt is being fetched
        bool known = false;
        bool allow_all = false;
        bool disallow_all = false;
        RobotsRules rules;
    };
    std::shared_ptr<Site> site(const std::string& origin);
    // Keeps what the answer says about the site; false for an answer given up on a stop.
    static bool keep(Site& site, const HttpResponse& response);
    static RobotsVerdict verdict_of(const Site& site, std::string_view address);

    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<Site>> sites_;  // by "scheme://host:port"
    std::size_t fetches_ = 0;
};

}  // namespace trasslo
