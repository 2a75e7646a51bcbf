// The scripted request object: open / set headers / send / wait / read the response, the way
// the scripted HTTP component of the original platform is driven, over the request layer.
#pragma once

#include <atomic>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "net/curl_request.h"
#include "text/local_text.h"

namespace trasslo {

// A value of the component's "Option" property: nothing, a number, a text or bytes.
using OptionValue = std::variant<std::monostate, long, LocalText, ByteBuffer>;

// Indexes of "Option" that change how requests are made.
constexpr long kOptionUserAgent = 0;
constexpr long kOptionUrl = 1;
constexpr long kOptionEnableRedirects = 6;

class WebRequest {
  public:
    WebRequest() = default;
    WebRequest(const WebRequest&) = delete;
    WebRequest& operator=(const WebRequest&) = delete;

    // Starts a new request: forgets the previous response and request headers.
    void open(std::string_view method, std::string_view url, bool async);
    // Sets a request header, replacing one of the same name (ASCII case folded).
    void set_request_header(std::string_view name, std::string_view value);
    // Sends the request with `body` (POST-like when `has_body`). Synchronous requests run to
    // the end here; asynchronous ones run in wait_for_response (or at the first read).
    void send(const ByteBuffer& body, bool has_body);
    void send() { send({}, false); }
    // Runs a pending asynchronous request for at most `seconds` (< 1: the deadline cap);
    // true when a response is complete.
    bool wait_for_response(long seconds);
    // Stops the request, also from an event handler pumped while it runs.
    void abort();

    // The response; 0 / empty until one arrived.
    long status();
    LocalText status_text();
    LocalText response_text();  // the body decoded by its declared charset, as local text
    ByteBuffer response_body();
    LocalText get_response_header(std::string_view name);  // first match; ASCII case folded
    LocalText get_all_response_headers();                  // header lines without the status line

    // Milliseconds: name resolution, connection, sending, receiving. 0 means no limit.
    void set_timeouts(long resolve_ms, long connect_ms, long send_ms, long receive_ms);
    // 0 = default (direct), 1 = direct, 2 = through `server`, bypassing the ';'-separated hosts
    // of `bypass`.
    void set_proxy(long setting, std::string_view server, std::string_view bypass);
    // flags 0 = server, 1 = proxy credentials.
    void set_credentials(std::string_view user, std::string_view password, long flags);
    void set_client_certificate(std::string_view certificate);
    void set_auto_logon_policy(long policy);
    // Reads "Option"(index); writes it first when `value` holds something.
    OptionValue option(long index, const OptionValue& value = {});

    // The request a pending send() would make, for a caller that performs it itself (the
    // parallel run); its answer comes back through take_response. Nothing when none is pending.
    std::optional<HttpRequest> take_pending(long deadline_ms);
    // Takes the answer of the exchange, as a request run here would.
    void take_response(HttpResponse response);

    // The last exchange as the request layer ended it, without its body: what went wrong, the
    // status and header block that arrived (also when the response above reads as none), the
    // final address and the body bytes received. For callers that judge a visit.
    const HttpResponse& last_exchange() const { return exchange_; }

  private:
    void run(long deadline_ms);
    HttpRequest built_request(long deadline_ms);

    std::string method_ = "GET";
    std::string url_;
    bool async_ = false;
    bool pending_ = false;
    std::vector<std::pair<std::string, std::string>> headers_;
    ByteBuffer body_;
    bool has_body_ = false;
    long resolve_ms_ = 0, connect_ms_ = 60000, send_ms_ = 30000, receive_ms_ = 30000;
    long proxy_setting_ = 0;
    std::string proxy_server_, proxy_bypass_;
    std::string user_, password_, proxy_user_, proxy_password_;
    std::string client_certificate_;
    long auto_logon_policy_ = 0;
    std::map<long, OptionValue> options_;
    std::atomic<bool> cancel_{false};

    long status_ = 0;
    std::string status_text_;
    std::string raw_headers_;
    ByteBuffer response_;
    HttpResponse exchange_;
};

}  // namespace trasslo
