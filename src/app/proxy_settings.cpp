#include "app/proxy_settings.h"

#include <sys/stat.h>

#include "text/local_text.h"

namespace trasslo {
namespace {

constexpr const char* kSection = "代理设置";
constexpr const char* kListKey = "代理列表";
constexpr const char* kRotationKey = "轮换方式";

// A value of the settings file is one line: the list's lines (comments and blank lines left
// out) are joined by spaces, which no proxy address holds.
std::string one_line(std::string_view list) {
    std::string out;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find('\n', start);
        if (end == std::string_view::npos) end = list.size();
        std::string_view raw = list.substr(start, end - start);
        start = end + 1;
        if (raw.ends_with('\r')) raw.remove_suffix(1);
        const std::string line = trim(raw);
        if (line.empty() || line.front() == '#') continue;
        if (!out.empty()) out += ' ';
        out += line;
    }
    return out;
}

// Every section and key of the store goes through its current section.
class SectionScope {
  public:
    explicit SectionScope(SettingsStore& store) : store_(store) {
        before_ = store_.section();
        store_.set_section(local(kSection));
    }
    ~SectionScope() { store_.set_section(before_); }

  private:
    SettingsStore& store_;
    LocalText before_;
};

}  // namespace

ProxySettings read_proxy_settings(SettingsStore& store) {
    const SectionScope scope(store);
    ProxySettings settings;
    for (const LocalText& address : split_text(store.read_text(local(kListKey)), " ")) {
        if (address.empty()) continue;
        settings.list += address + "\n";
    }
    settings.rotation = proxy_rotation_from_name(store.read_text(local(kRotationKey), "site"))
                            .value_or(ProxyRotation::site);
    return settings;
}

bool write_proxy_settings(SettingsStore& store, const ProxySettings& settings) {
    const SectionScope scope(store);
    const std::string list = one_line(settings.list);
    // Logins are about to be kept: the file is the owner's alone before they are in it.
    if (!list.empty() && !store.restrict_to_owner()) return false;
    return store.write_text(local(kListKey), list) &&
           store.write_text(local(kRotationKey), proxy_rotation_name(settings.rotation));
}

std::unique_ptr<ProxyPool> proxy_pool_of(const ProxySettings& settings) {
    return std::make_unique<ProxyPool>(read_proxy_list(settings.list, "").proxies,
                                       settings.rotation);
}

}  // namespace trasslo
