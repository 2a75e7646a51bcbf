#include "net/proxy_pool.h"

#include <curl/curl.h>

#include <charconv>
#include <memory>

#include "text/local_text.h"

namespace trasslo {
namespace {

constexpr std::string_view kSchemes[] = {"http", "https", "socks4", "socks4a", "socks5", "socks5h"};

struct UrlHandle {
    CURLU* url = curl_url();
    ~UrlHandle() {
        if (url) curl_url_cleanup(url);
    }
    std::optional<std::string> part(CURLUPart which, unsigned flags = 0) const {
        char* text = nullptr;
        if (curl_url_get(url, which, &text, flags) != CURLUE_OK || !text) return std::nullopt;
        std::string out(text);
        curl_free(text);
        return out;
    }
};

int default_port(std::string_view scheme) {
    if (scheme.starts_with("socks")) return 1080;
    return scheme == "https" ? 443 : 80;
}

}  // namespace

std::string ProxyEndpoint::label() const {
    if (direct) return {};
    return scheme + "://" + host + ":" + std::to_string(port);
}

std::optional<ProxyEndpoint> parse_proxy_address(std::string_view text, std::string& error) {
    const std::string address(trim(text));
    ProxyEndpoint endpoint;
    if (ascii_lower(address) == "direct") {
        endpoint.direct = true;
        return endpoint;
    }
    if (address.find("://") == std::string::npos) {
        error = "代理地址缺少协议（http、https、socks4、socks4a、socks5 或 socks5h）";
        return std::nullopt;
    }
    UrlHandle url;
    if (!url.url || curl_url_set(url.url, CURLUPART_URL, address.c_str(),
                                 CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
        error = "代理地址无法识别";
        return std::nullopt;
    }
    endpoint.scheme = ascii_lower(url.part(CURLUPART_SCHEME).value_or(""));
    bool known = false;
    for (std::string_view scheme : kSchemes) known = known || scheme == endpoint.scheme;
    if (!known) {
        error = "不支持的代理协议 " + endpoint.scheme;
        return std::nullopt;
    }
    endpoint.host = url.part(CURLUPART_HOST).value_or("");
    if (endpoint.host.empty()) {
        error = "代理地址缺少主机";
        return std::nullopt;
    }
    const std::string path = url.part(CURLUPART_PATH).value_or("/");
    if ((path != "/" && !path.empty()) || url.part(CURLUPART_QUERY)) {
        error = "代理地址只能有主机和端口";
        return std::nullopt;
    }
    endpoint.port = default_port(endpoint.scheme);
    if (const std::optional<std::string> port = url.part(CURLUPART_PORT)) {
        const auto [end, failed] =
            std::from_chars(port->data(), port->data() + port->size(), endpoint.port);
        if (failed != std::errc() || end != port->data() + port->size() || endpoint.port < 1 ||
            endpoint.port > 65535) {
            error = "代理端口无效";
            return std::nullopt;
        }
    }
    endpoint.user = url.part(CURLUPART_USER, CURLU_URLDECODE).value_or("");
    endpoint.password = url.part(CURLUPART_PASSWORD, CURLU_URLDECODE).value_or("");
    return endpoint;
}

ProxyList read_proxy_list(std::string_view text, std::string_view source) {
    ProxyList list;
    int number = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(start, end - start);
        if (raw.ends_with('\r')) raw.remove_suffix(1);  // CR LF lines
        const std::string line = trim(raw);
        ++number;
        start = end + 1;
        if (line.empty() || line.front() == '#') continue;
        std::string error;
        if (std::optional<ProxyEndpoint> endpoint = parse_proxy_address(line, error))
            list.proxies.push_back(std::move(*endpoint));
        else
            list.warnings.push_back(std::string(source) + ":" + std::to_string(number) + ": " +
                                    error + "，已跳过");
    }
    return list;
}

std::string_view proxy_rotation_name(ProxyRotation rotation) {
    return rotation == ProxyRotation::visit ? "visit" : "site";
}

std::optional<ProxyRotation> proxy_rotation_from_name(std::string_view name) {
    if (name == "site") return ProxyRotation::site;
    if (name == "visit") return ProxyRotation::visit;
    return std::nullopt;
}

void ProxyRoute::apply(HttpRequest& request) const {
    request.proxy_from_environment = environment;
    request.proxy_tunnel = true;
    if (environment || endpoint.direct) {
        request.proxy.reset();
        request.proxy_user.clear();
        request.proxy_password.clear();
        return;
    }
    request.proxy = endpoint.label();
    request.no_proxy.clear();
    request.proxy_user = endpoint.user;
    request.proxy_password = endpoint.password;
}

ProxyPool::ProxyPool(std::vector<ProxyEndpoint> proxies, ProxyRotation rotation,
                     Clock::duration rest)
    : proxies_(std::move(proxies)), health_(proxies_.size()), rotation_(rotation), rest_(rest) {}

bool ProxyPool::resting(std::size_t index, Clock::time_point now) const {
    return health_[index].rests_until > now;
}

std::optional<std::size_t> ProxyPool::next_awake(Clock::time_point now) {
    for (std::size_t tried = 0; tried < proxies_.size(); ++tried) {
        const std::size_t index = turn_++ % proxies_.size();
        if (!resting(index, now)) return index;
    }
    return std::nullopt;
}

std::optional<ProxyRoute> ProxyPool::choose(std::string_view site) {
    ProxyRoute route;
    if (proxies_.empty()) {
        route.environment = true;
        return route;
    }
    const std::lock_guard lock(mutex_);
    const Clock::time_point now = Clock::now();
    std::optional<std::size_t> index;
    if (rotation_ == ProxyRotation::site) {
        const auto it = site_proxy_.find(std::string(site));
        if (it != site_proxy_.end() && !resting(it->second, now)) index = it->second;
    }
    if (!index) index = next_awake(now);
    if (!index) return std::nullopt;
    if (rotation_ == ProxyRotation::site) site_proxy_[std::string(site)] = *index;
    route.index = *index;
    route.endpoint = proxies_[*index];
    return route;
}

void ProxyPool::failed(const ProxyRoute& route) {
    if (route.environment || route.index >= proxies_.size()) return;
    std::string warning;
    {
        const std::lock_guard lock(mutex_);
        Health& health = health_[route.index];
        if (++health.failures_in_row < kFailuresToRest) return;
        health.failures_in_row = 0;
        health.rests_until = Clock::now() + rest_;
        if (health.warned) return;
        health.warned = true;
        warning = "代理 " + proxies_[route.index].label() + " 连续两次无法使用，暂停使用 " +
                  std::to_string(std::chrono::duration_cast<std::chrono::minutes>(rest_).count()) +
                  " 分钟";
    }
    if (warn) warn(warning);
}

void ProxyPool::succeeded(const ProxyRoute& route) {
    if (route.environment || route.index >= proxies_.size()) return;
    const std::lock_guard lock(mutex_);
    health_[route.index].failures_in_row = 0;
}

}  // namespace trasslo
