// Which shard of a run split across machines a site belongs to. The rule is fixed so that every
// machine and every version splits a list the same way: FNV-1a 64-bit of the site's registrable
// domain in UTF-8, modulo the number of shards, plus one.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engines/trace_engine.h"

namespace trasslo {

// FNV-1a, 64-bit, over the bytes of `text`.
std::uint64_t fnv1a_64(std::string_view text);

// The shard (1 to `shards`) of `site` (net/site_of_host.h). `shards` must be at least 1.
int shard_of_site(std::string_view site, int shards);

// "K/N" with 1 <= K <= N read as a shard: K of N.
struct ShardChoice {
    int index = 1;
    int count = 1;
};
std::optional<ShardChoice> parse_shard(std::string_view text);

// Unticks every engine whose site is not in `shard`, leaving the list's order, and so every
// engine's place in it, as it was: a shard's record lines up with the whole list's.
void untick_other_shards(std::vector<TraceEngine>& engines, const ShardChoice& shard);

}  // namespace trasslo
