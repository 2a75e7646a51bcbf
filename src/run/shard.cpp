#include "run/shard.h"

#include <charconv>

#include "net/site_of_host.h"

namespace trasslo {

std::uint64_t fnv1a_64(std::string_view text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    return hash;
}

int shard_of_site(std::string_view site, int shards) {
    return static_cast<int>(fnv1a_64(site) % static_cast<std::uint64_t>(shards)) + 1;
}

std::optional<ShardChoice> parse_shard(std::string_view text) {
    const size_t slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    auto number = [](std::string_view digits) -> std::optional<int> {
        int value = 0;
        if (digits.empty() || digits.size() > 6) return std::nullopt;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
        return value;
    };
    const std::optional<int> index = number(text.substr(0, slash));
    const std::optional<int> count = number(text.substr(slash + 1));
    if (!index || !count || *index < 1 || *index > *count) return std::nullopt;
    return ShardChoice{*index, *count};
}

void untick_other_shards(std::vector<TraceEngine>& engines, const ShardChoice& shard) {
    for (TraceEngine& engine : engines)
        if (engine.enabled &&
            shard_of_site(site_of_address(engine.address), shard.count) != shard.index)
            engine.enabled = false;
}

}  // namespace trasslo
