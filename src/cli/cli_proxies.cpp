#include "cli/cli_proxies.h"

#include <cstdio>

#include "files/whole_file.h"

namespace trasslo::cli {

std::unique_ptr<ProxyPool> proxy_pool_for(const CliOptions& options, std::string& error) {
    std::vector<ProxyEndpoint> proxies;
    for (const std::string& value : options.proxies) {
        std::string why;
        std::optional<ProxyEndpoint> endpoint = parse_proxy_address(value, why);
        if (!endpoint) {
            // The login stays out of the message: only what follows the '@'.
            const std::size_t at = value.rfind('@');
            error = "--proxy " + (at == std::string::npos ? value : "…@" + value.substr(at + 1)) +
                    "：" + why;
            return nullptr;
        }
        proxies.push_back(std::move(*endpoint));
    }
    if (options.proxies_file) {
        std::string text;
        if (!read_whole_file(*options.proxies_file, text)) {
            error = "无法读取代理列表 " + *options.proxies_file;
            return nullptr;
        }
        ProxyList list = read_proxy_list(text, *options.proxies_file);
        for (const std::string& warning : list.warnings)
            std::fprintf(stderr, "trasslo-cli：%s\n", warning.c_str());
        for (ProxyEndpoint& endpoint : list.proxies) proxies.push_back(std::move(endpoint));
    }
    if (proxies.empty() && (options.proxies_file || !options.proxies.empty())) {
        error = "没有可用的代理";
        return nullptr;
    }
    auto pool = std::make_unique<ProxyPool>(
        std::move(proxies), proxy_rotation_from_name(options.proxy_rotation.value_or("site"))
                                .value_or(ProxyRotation::site));
    pool->warn = [](const std::string& warning) {
        std::fprintf(stderr, "trasslo-cli：%s\n", warning.c_str());
    };
    return pool;
}

}  // namespace trasslo::cli
