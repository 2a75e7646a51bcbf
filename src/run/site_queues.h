// Work grouped by site, for the drivers that keep to one request per site at a time (the
// parallel run, the parallel check): each site's items stay in the order they were planned,
// and the site's turn says whether a piece of its work is under way and when the next may
// start. A site is the registrable domain of the address's host (net/site_of_host.h).
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "net/site_of_host.h"

namespace trasslo {

// One site's queue; `Turn` holds what a driver keeps per site beside it.
template <typename Item, typename Turn>
struct SiteQueue : Turn {
    std::deque<Item> items;                         // in plan order, the one under way first
    std::chrono::steady_clock::time_point ready{};  // no item starts before this
    bool busy = false;                              // an item is under way
};

// `items` grouped by the site of address_of(item): sites in the order they first appear.
template <typename Turn, typename Item, typename AddressOf>
std::vector<SiteQueue<Item, Turn>> queue_by_site(const std::vector<Item>& items,
                                                 AddressOf address_of) {
    std::vector<SiteQueue<Item, Turn>> sites;
    std::unordered_map<std::string, std::size_t> index;
    for (const Item& item : items) {
        auto [it, added] = index.emplace(site_of_address(address_of(item)), sites.size());
        if (added) sites.emplace_back();
        sites[it->second].items.push_back(item);
    }
    return sites;
}

}  // namespace trasslo
