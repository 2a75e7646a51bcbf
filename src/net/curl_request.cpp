#include "net/curl_request.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "base/event_pump.h"
#include "net/abandon_scope.h"
#include "net/curl_exchange.h"

namespace trasslo {
namespace {

constexpr long kDeadlineCapMs = 120000;
std::atomic<long> deadline_cap_ms{kDeadlineCapMs};

// This thread's idle multi handles. Making one costs a socket pair and more, which a visit a
// millisecond long notices; each transfer takes one for itself, so a request started from an
// event pumped during another transfer gets a handle of its own.
class MultiPool {
  public:
    ~MultiPool() {
        for (CURLM* multi : idle_) curl_multi_cleanup(multi);
    }
    CURLM* take() {
        if (idle_.empty()) return curl_multi_init();
        CURLM* multi = idle_.back();
        idle_.pop_back();
        return multi;
    }
    void give_back(CURLM* multi) {
        if (idle_.size() < 4) {
            idle_.push_back(multi);
        } else {
            curl_multi_cleanup(multi);
        }
    }

  private:
    std::vector<CURLM*> idle_;
};

MultiPool& multi_pool() {
    thread_local MultiPool pool;
    return pool;
}

// A multi handle of this thread's pool with one exchange added; both released together.
class PooledTransfer {
  public:
    explicit PooledTransfer(CurlExchange& exchange)
        : exchange_(exchange), multi_(multi_pool().take()) {
        added_ = multi_ && exchange.valid() &&
                 curl_multi_add_handle(multi_, exchange.easy()) == CURLM_OK;
    }
    ~PooledTransfer() {
        if (added_) curl_multi_remove_handle(multi_, exchange_.easy());
        if (multi_) multi_pool().give_back(multi_);
    }
    PooledTransfer(const PooledTransfer&) = delete;
    PooledTransfer& operator=(const PooledTransfer&) = delete;

    bool started() const { return added_; }
    CURLM* multi() const { return multi_; }

  private:
    CurlExchange& exchange_;
    CURLM* multi_;
    bool added_ = false;
};

}  // namespace

long response_status_code(std::string_view status_line) {
    const size_t sp = status_line.find(' ');
    if (sp == std::string_view::npos) return 0;
    const std::string_view code = status_line.substr(sp + 1);
    // A status code has three digits; the library lets longer runs through on lines it reads
    // leniently, and reading all of them would overflow.
    long value = 0;
    for (size_t i = 0; i < code.size() && i < 3; ++i) {
        if (code[i] < '0' || code[i] > '9') break;
        value = value * 10 + (code[i] - '0');
    }
    return value;
}

void set_request_deadline_cap(long milliseconds) {
    deadline_cap_ms =
        (milliseconds <= 0 || milliseconds > kDeadlineCapMs) ? kDeadlineCapMs : milliseconds;
}

long request_deadline_cap() {
    return deadline_cap_ms.load();
}

HttpResponse perform_request(const HttpRequest& request) {
    HttpResponse response;
    try {
        CurlExchange exchange(request);
        PooledTransfer transfer(exchange);
        if (!transfer.started()) return response;

        // The multi interface lets the user-interface thread handle its events every 10 ms
        // at most while the transfer runs; on other threads the pump does nothing. A stop asked
        // for by one of those events (the caller's flag, or a stop of the visit this request
        // belongs to) ends the transfer at once.
        auto stop_asked = [&request] {
            return (request.cancel && request.cancel->load()) || abandon_requested();
        };
        CURLcode result = CURLE_OK;
        bool done = false;
        bool cancelled = false;
        while (!done) {
            int running = 0;
            if (curl_multi_perform(transfer.multi(), &running) != CURLM_OK) {
                result = CURLE_FAILED_INIT;
                break;
            }
            int queued = 0;
            while (CURLMsg* msg = curl_multi_info_read(transfer.multi(), &queued)) {
                if (msg->msg == CURLMSG_DONE) {
                    result = msg->data.result;
                    done = true;
                }
            }
            if (done) break;
            if (stop_asked()) {
                cancelled = true;
                break;
            }
            curl_multi_poll(transfer.multi(), nullptr, 0, 10, nullptr);
            process_pending_events();
            if (stop_asked()) {
                cancelled = true;
                break;
            }
        }
        return exchange.finish(result, cancelled);
    } catch (...) {
        response.error = RequestError::other;
    }
    return response;
}

}  // namespace trasslo
