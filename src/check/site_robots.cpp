#include "check/site_robots.h"

#include "net/curl_request.h"
#include "net/url_parts.h"
#include "text/local_text.h"

namespace trasslo {
namespace {

constexpr std::string_view kCrawlers[] = {"Baiduspider", "Googlebot"};

// "http://host:port" of an address: the key a robots.txt is kept under.
std::string origin_of(std::string_view address) {
    const UrlPieces pieces = split_url(address);
    const std::string scheme = pieces.scheme.empty() ? "http" : ascii_lower(pieces.scheme);
    return scheme + "://" + ascii_lower(pieces.host) + ":" + std::to_string(url_port(address));
}

}  // namespace

std::string_view robots_verdict_name(RobotsVerdict verdict) {
    switch (verdict) {
        case RobotsVerdict::allow:
            return "allow";
        case RobotsVerdict::disallow:
            return "disallow";
        case RobotsVerdict::none:
            return "none";
        case RobotsVerdict::unknown:
            break;
    }
    return "";
}

std::shared_ptr<SiteRobots::Site> SiteRobots::site(const std::string& origin) {
    std::lock_guard lock(mutex_);
    std::shared_ptr<Site>& site = sites_[origin];
    if (!site) site = std::make_shared<Site>();
    return site;
}

std::size_t SiteRobots::fetches() const {
    std::lock_guard lock(mutex_);
    return fetches_;
}

RobotsVerdict SiteRobots::verdict_for(std::string_view address) {
    const std::shared_ptr<Site> site = this->site(origin_of(address));
    std::lock_guard fetching(site->fetching);
    if (!site->known && !keep(*site, perform_request(fetch_request(address))))
        return RobotsVerdict::unknown;
    return verdict_of(*site, address);
}

std::optional<RobotsVerdict> SiteRobots::known_verdict(std::string_view address) {
    const std::shared_ptr<Site> site = this->site(origin_of(address));
    std::lock_guard fetching(site->fetching);
    if (!site->known) return std::nullopt;
    return verdict_of(*site, address);
}

HttpRequest SiteRobots::fetch_request(std::string_view address) {
    HttpRequest request;
    request.url = origin_of(address) + "/robots.txt";
    request.user_agent = kBrowserAgent;
    request.keep_first_bytes = kRobotsReadBytes;
    std::lock_guard lock(mutex_);
    ++fetches_;
    return request;
}

RobotsVerdict SiteRobots::learn(std::string_view address, const HttpResponse& response) {
    const std::shared_ptr<Site> site = this->site(origin_of(address));
    std::lock_guard fetching(site->fetching);
    if (!site->known && !keep(*site, response)) return RobotsVerdict::unknown;
    return verdict_of(*site, address);
}

bool SiteRobots::keep(Site& site, const HttpResponse& response) {
    if (response.error == RequestError::aborted) return false;
    const bool answered = response.ok() || response.error == RequestError::redirect_loop;
    if (!answered || response.status == 0 || response.status >= 500) {
        site.disallow_all = true;
    } else if (response.ok() && response.status >= 200 && response.status <= 299) {
        site.rules = RobotsRules::parse(bytes_view(response.body));
    } else {
        site.allow_all = true;  // 3xx without an end, 4xx: there is no robots.txt
    }
    site.known = true;
    return true;
}

RobotsVerdict SiteRobots::verdict_of(const Site& site, std::string_view address) {
    if (site.allow_all) return RobotsVerdict::none;
    if (site.disallow_all) return RobotsVerdict::disallow;
    const std::string path = robots_path(address);
    for (std::string_view crawler : kCrawlers)
        if (!site.rules.allows(crawler, path)) return RobotsVerdict::disallow;
    return RobotsVerdict::allow;
}

}  // namespace trasslo
