// One exchange's curl easy handle, configured from an HttpRequest the one way every request of
// the program is configured, and the response its callbacks fill. The blocking request
// (perform_request) and the parallel transfers (net/multi_transfers.h) both drive these, so a
// request sent in parallel is byte for byte the request sent one at a time.
#pragma once

#include <curl/curl.h>

#include "net/curl_request.h"

namespace trasslo {

class CurlExchange {
  public:
    // Configures a new easy handle for `request`, which is kept for as long as the transfer
    // runs (curl reads a request body from it). valid() is false when curl refused.
    explicit CurlExchange(HttpRequest request);
    ~CurlExchange();
    CurlExchange(const CurlExchange&) = delete;
    CurlExchange& operator=(const CurlExchange&) = delete;

    bool valid() const { return valid_; }
    CURL* easy() const { return easy_; }
    const HttpRequest& request() const { return request_; }

    // The response once the transfer ended with `result` (or was given up: `cancelled`); the
    // body is emptied for any failure. Called once.
    HttpResponse finish(CURLcode result, bool cancelled);

  private:
    HttpRequest request_;
    HttpResponse response_;
    CURL* easy_ = nullptr;
    curl_slist* headers_ = nullptr;
    bool over_cap_ = false;
    bool cut_ = false;  // the body reached HttpRequest::keep_first_bytes: the rest is not wanted
    bool valid_ = false;

    friend size_t exchange_body(char*, size_t, size_t, void*);
    bool configure();
    bool through_proxy() const;
    bool failed_at_proxy(CURLcode result) const;
};

// curl's global set-up, done once by the first exchange of any thread.
void curl_global_setup();

}  // namespace trasslo
