// Many exchanges at once, driven from one thread by one curl multi handle: no thread per
// request. Each exchange is configured exactly as perform_request configures it
// (net/curl_exchange.h); what differs is only who waits on the sockets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "net/curl_request.h"

namespace trasslo {

class CurlExchange;

class MultiTransfers {
  public:
    // An exchange that ended, with the id start() gave it.
    struct Finished {
        std::uint64_t id = 0;
        HttpResponse response;
    };

    MultiTransfers();
    ~MultiTransfers();  // transfers still running are dropped unanswered
    MultiTransfers(const MultiTransfers&) = delete;
    MultiTransfers& operator=(const MultiTransfers&) = delete;

    // Starts `request`; its answer comes from a later drive() under the id returned. A request
    // curl refuses is answered by the next drive() with RequestError::other.
    std::uint64_t start(const HttpRequest& request);
    // Moves the transfers on, waiting at most `wait_ms` for a socket, and returns the ones that
    // ended meanwhile.
    std::vector<Finished> drive(int wait_ms);
    // Ends every transfer in flight; each is answered RequestError::aborted.
    std::vector<Finished> abort_all();
    std::size_t in_flight() const { return running_.size() + refused_.size(); }

  private:
    void collect(std::vector<Finished>& finished);

    void* multi_ = nullptr;  // CURLM*
    std::uint64_t next_id_ = 1;
    std::map<std::uint64_t, std::unique_ptr<CurlExchange>> running_;
    std::vector<std::uint64_t> refused_;
};

}  // namespace trasslo
