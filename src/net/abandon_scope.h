// Giving up the requests of a visit when the user asks to stop. The described request functions
// (fetch_title, page_request, HttpClient) take no stop argument, so whoever starts a visit that
// a stop must end (the trace run, the add-engine dialog) opens a scope over it, naming its stop
// flag; the request layer looks at every scope of its thread each time it polls, and fetch_title
// before each attempt and during its pauses.
//
//   AbandonScope abandon(stop_flag);           // stop_flag is set by a pumped event handler
//   LocalText title = fetch_title(address, keyword, encoding);
//   if (abandon.abandoned()) { /* the visit was given up: do not count it */ }
#pragma once

#include <atomic>

namespace trasslo {

class AbandonScope {
  public:
    // Requests made on this thread while the scope lives are given up at their next poll once
    // `stop` is true. `stop` must outlive the scope and is read on this thread only. Scopes
    // nest: a request is given up when any scope around it asks.
    explicit AbandonScope(const bool& stop);
    // The same for a worker thread, whose stop flag is set from another thread.
    explicit AbandonScope(const std::atomic<bool>& stop);
    ~AbandonScope();
    AbandonScope(const AbandonScope&) = delete;
    AbandonScope& operator=(const AbandonScope&) = delete;

    // Whether work under this scope was given up because its flag was set.
    bool abandoned() const { return abandoned_; }

  private:
    friend bool abandon_requested();
    bool asked() const { return stop_ ? *stop_ : shared_stop_->load(); }
    const bool* stop_ = nullptr;
    const std::atomic<bool>* shared_stop_ = nullptr;
    AbandonScope* outer_;
    bool abandoned_ = false;
};

// True when a scope of the calling thread has its flag set; those scopes then report
// abandoned(). False on a thread without scopes.
bool abandon_requested();

}  // namespace trasslo
