#include "net/multi_transfers.h"

#include <curl/curl.h>

#include "net/curl_exchange.h"

namespace trasslo {

MultiTransfers::MultiTransfers() {
    curl_global_setup();
    multi_ = curl_multi_init();
}

MultiTransfers::~MultiTransfers() {
    auto* multi = static_cast<CURLM*>(multi_);
    for (auto& [id, exchange] : running_) curl_multi_remove_handle(multi, exchange->easy());
    running_.clear();
    if (multi) curl_multi_cleanup(multi);
}

std::uint64_t MultiTransfers::start(const HttpRequest& request) {
    const std::uint64_t id = next_id_++;
    auto exchange = std::make_unique<CurlExchange>(request);
    auto* multi = static_cast<CURLM*>(multi_);
    if (!multi || !exchange->valid() ||
        curl_multi_add_handle(multi, exchange->easy()) != CURLM_OK) {
        refused_.push_back(id);
        return id;
    }
    curl_easy_setopt(exchange->easy(), CURLOPT_PRIVATE, reinterpret_cast<void*>(id));
    running_.emplace(id, std::move(exchange));
    return id;
}

void MultiTransfers::collect(std::vector<Finished>& finished) {
    auto* multi = static_cast<CURLM*>(multi_);
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
        if (msg->msg != CURLMSG_DONE) continue;
        char* data = nullptr;
        curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &data);
        const auto id = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(data));
        const CURLcode result = msg->data.result;
        auto it = running_.find(id);
        if (it == running_.end()) continue;
        curl_multi_remove_handle(multi, it->second->easy());
        finished.push_back({id, it->second->finish(result, false)});
        running_.erase(it);
    }
}

std::vector<MultiTransfers::Finished> MultiTransfers::drive(int wait_ms) {
    std::vector<Finished> finished;
    for (std::uint64_t id : refused_) {
        HttpResponse refused;
        refused.error = RequestError::other;
        finished.push_back({id, std::move(refused)});
    }
    refused_.clear();
    auto* multi = static_cast<CURLM*>(multi_);
    if (!multi) return finished;
    int running = 0;
    curl_multi_perform(multi, &running);
    collect(finished);
    if (finished.empty()) {
        // With no transfer at all this still waits: the caller's timers are the next event.
        curl_multi_poll(multi, nullptr, 0, wait_ms, nullptr);
        curl_multi_perform(multi, &running);
        collect(finished);
    }
    return finished;
}

std::vector<MultiTransfers::Finished> MultiTransfers::abort_all() {
    std::vector<Finished> finished = drive(0);
    auto* multi = static_cast<CURLM*>(multi_);
    for (auto& [id, exchange] : running_) {
        curl_multi_remove_handle(multi, exchange->easy());
        finished.push_back({id, exchange->finish(CURLE_ABORTED_BY_CALLBACK, true)});
    }
    running_.clear();
    return finished;
}

}  // namespace trasslo
