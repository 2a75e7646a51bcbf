// HttpClient: the request path of every address that is not "https://". It drives one scripted
// request object (WebRequest) and offers full requests returning text or bytes, thin wrappers
// of the object's own operations, and cookie and redirect helpers.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "net/web_request.h"
#include "text/local_text.h"

namespace trasslo {

// The optional arguments of request_text / request_bytes; defaults are "left out".
struct ClientRequestOptions {
    LocalText post_text{};             // body as text; any body makes the verb POST
    int result_encoding = 0;           // request_text only: -2 response text, -1 raw body up
                                       // to its first zero byte, else the charset selector
    double timeout_seconds = 0;        // -1: object's own timeouts, < 1: 10/10/60/120 s,
                                       // else all four; request_bytes uses whole seconds
    std::optional<LocalText> proxy{};  // "-1": none; "IE": the http_proxy variable
    bool synchronous = false;
    ByteBuffer post_bytes{};      // wins over post_text
    LocalText referer{};          // empty: the address as given
    LocalText* cookie = nullptr;  // in/out; "-1" sends an empty Cookie header
    bool keep_cookies = false;    // keep the response's cookies for later requests
    LocalText content_type{};
    LocalText user_agent{};
    LocalText extra_headers{};  // "Name: value" lines, CR LF separated
};

class HttpClient {
  public:
    HttpClient() = default;
    virtual ~HttpClient() = default;
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // A new client sharing this one's request object, with a copy of its stored cookie.
    std::unique_ptr<HttpClient> copy() const;
    // Creates the request object; must run before any request.
    void initialise();
    // Drops the request object and creates a fresh one.
    void recreate();
    // recreate() and clear_cookies().
    void reset();
    std::shared_ptr<WebRequest> request_object() const { return request_; }

    // Thin wrappers of the request object. `open` puts "http://" in front of an address that
    // does not start with it.
    void open(std::string_view method, std::string_view address, bool async = false);
    long status();
    LocalText status_text();
    LocalText response_text();  // up to its first zero byte
    ByteBuffer response_body();
    OptionValue response_stream();
    OptionValue option(long index, const OptionValue& value = {});
    void set_proxy(std::string_view server, std::string_view bypass, long setting = 2);
    void set_credentials(std::string_view user, std::string_view password, long flags = 0);
    void set_request_header(std::string_view name, std::string_view value);
    LocalText get_response_header(std::string_view name);
    LocalText get_all_response_headers();
    void send(std::string_view text, const ByteBuffer& bytes);
    bool wait_for_response(long seconds);
    void abort();
    // Connect, send and receive below 1 take the resolve value.
    void set_timeouts(long resolve_ms, long connect_ms = 0, long send_ms = 0, long receive_ms = 0);
    void set_client_certificate(std::string_view certificate);
    void set_auto_logon_policy(long policy);

    // Cookie helpers over the last response's header lines.
    LocalText cookie_value(std::string_view name);
    LocalText response_cookie_lines();  // each "Set-Cookie:" line with its CR LF
    LocalText response_cookies();       // "name=value; attrs; name=value ..."
    void clear_cookies() { stored_cookie_.clear(); }
    const LocalText& stored_cookie() const { return stored_cookie_; }

    // The "Location" of `address` without following it.
    LocalText probe_location(std::string_view address);
    LocalText redirect_target(std::string_view address, bool synchronous = false,
                              std::string_view referer = {});

    // Full requests; empty on any failure.
    LocalText request_text(std::string_view address, const ClientRequestOptions& options = {});
    ByteBuffer request_bytes(std::string_view address, const ClientRequestOptions& options = {});

    // request_bytes in two halves, for a caller that performs the exchange itself (the parallel
    // run): the request it would send (nothing for a synchronous one or before initialise),
    // then the body from that request's answer.
    std::optional<HttpRequest> bytes_request(std::string_view address,
                                             const ClientRequestOptions& options = {});
    ByteBuffer take_bytes_response(HttpResponse response, const ClientRequestOptions& options = {});

  private:
    // Everything a request does before it waits; returns the seconds the wait is bounded by.
    long stage_request(std::string_view address, const ClientRequestOptions& options,
                       double timeout);
    void make_request(std::string_view address, const ClientRequestOptions& options,
                      double timeout);

    std::shared_ptr<WebRequest> request_;
    LocalText stored_cookie_{};
};

}  // namespace trasslo
