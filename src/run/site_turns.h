// Work spread over sites with one request per site at a time, for the parallel run and the
// parallel check: the work grouped by site, each site's items in the order they were planned,
// with whether a piece of the site's work is under way and when the next may start; and the
// transfers of the sites' turns, all driven from the calling thread by one multi handle. A site
// is the registrable domain of the address's host (net/site_of_host.h).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "net/multi_transfers.h"
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

// The requests of the sites' turns, each answered to the site that made it.
class SiteTransfers {
  public:
    using Clock = std::chrono::steady_clock;
    // A stop is noticed at least this often, whatever the sockets do.
    static constexpr int kLongestWaitMs = 100;

    void start(std::size_t site, const HttpRequest& request) {
        owners_.emplace(transfers_.start(request), site);
    }
    // Moves the transfers on, waiting for a socket until `wake` at the latest (and never longer
    // than kLongestWaitMs), and calls answered(site, response) for each that ended.
    template <typename Answered>
    void drive(Clock::time_point wake, Answered answered) {
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now()).count();
        for (MultiTransfers::Finished& finished :
             transfers_.drive(static_cast<int>(std::clamp<long long>(wait, 0, kLongestWaitMs)))) {
            const auto it = owners_.find(finished.id);
            if (it == owners_.end()) continue;
            const std::size_t site = it->second;
            owners_.erase(it);
            answered(site, std::move(finished.response));
        }
    }
    // Gives up every transfer in flight, unanswered.
    void abort_all() {
        transfers_.abort_all();
        owners_.clear();
    }

  private:
    MultiTransfers transfers_;
    std::unordered_map<std::uint64_t, std::size_t> owners_;  // transfer -> site
};

}  // namespace trasslo
