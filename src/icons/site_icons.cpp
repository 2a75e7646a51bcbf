#include "icons/site_icons.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#include "icons/default_icon.h"
#include "icons/icon_cache.h"
#include "icons/icon_lock.h"
#include "net/curl_request.h"
#include "net/http_client.h"
#include "net/page_request.h"
#include "net/site_host.h"

namespace trasslo {

void apply_site_icons(const std::vector<TraceEngine>& engines, EngineTree& tree,
                      const std::filesystem::path& program_folder, int first) {
    // A tree on screen reads a file only when its item is drawn: a start-up over many sites
    // then opens the few files it shows instead of all of them.
    const auto folder = std::make_shared<const std::filesystem::path>(program_folder);
    const int count = tree.item_count();
    for (int i = std::max(first, 0); i < count; ++i) {
        if (static_cast<std::size_t>(i) >= engines.size()) {
            tree.set_item_icon(i, default_icon_bytes());
            continue;
        }
        tree.set_item_icon_source(i, [folder, address = engines[i].address] {
            ByteBuffer bytes = read_icon_file(icon_file_path(*folder, address));
            return bytes.empty() ? default_icon_bytes() : bytes;
        });
    }
}

namespace {

// Waits for the icon lock in short slices so that a stop request is noticed.
bool lock_unless_cancelled(std::unique_lock<std::timed_mutex>& lock,
                           const std::atomic<bool>& cancel) {
    while (!cancel.load()) {
        if (lock.try_lock_for(std::chrono::milliseconds(20))) return true;
    }
    return false;
}

}  // namespace

std::size_t download_site_icons(const std::vector<LocalText>& addresses,
                                const std::filesystem::path& program_folder,
                                const std::atomic<bool>& cancel, const IconFetch& fetch) {
    HttpClient client;
    client.initialise();
    IconFetch get = fetch;
    if (!get) {
        get = [&client](std::string_view icon_address, bool https) {
            IconAnswer answer;
            if (https) {
                LocalText headers;
                PageRequestOptions options;
                options.returned_headers = &headers;
                answer.body = page_request(icon_address, options);
                answer.status = response_status_code(headers);
            } else {
                answer.body = client.request_bytes(icon_address);
                answer.status = client.status();
            }
            return answer;
        };
    }

    std::unique_lock<std::timed_mutex> lock(icon_lock(), std::defer_lock);
    if (!lock_unless_cancelled(lock, cancel)) return 0;

    std::size_t saved = 0;
    std::set<LocalText> tried;
    for (const LocalText& address : addresses) {
        if (cancel.load()) break;
        const LocalText host = site_host(address);
        // An engine without a host has no site to ask.
        if (host.empty() || !tried.insert(host).second) continue;
        const std::filesystem::path file = icon_file_path(program_folder, address);
        if (icon_file_cached(file)) continue;

        std::error_code ignored;
        std::filesystem::create_directories(icon_cache_folder(program_folder), ignored);

        const bool https = is_https_address(address);
        IconAnswer answer;
        for (const LocalText& icon_address : icon_addresses(address)) {
            if (cancel.load()) break;
            answer = get(icon_address, https);
            if (!is_html_answer(answer.body)) break;
            answer.body.clear();
        }
        if (cancel.load()) break;
        // An error answer ("404 Not Found" with a short text) ends the attempts like an empty
        // one: its body is no icon and would hide the default icon for good.
        if (answer.status >= 400) continue;
        if (!answer.body.empty() && write_icon_file(file, answer.body)) ++saved;
    }
    return saved;
}

namespace {

// What a worker and the registry share; it outlives both, so a worker let go of at shut-down
// never touches freed memory.
struct WorkerState {
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
};

struct Registry {
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::pair<std::thread, std::shared_ptr<WorkerState>>> workers;

    // Joins the workers that have ended; the caller holds `mutex`.
    void reap() {
        for (auto it = workers.begin(); it != workers.end();) {
            if (it->second->done.load()) {
                it->first.join();
                it = workers.erase(it);
            } else {
                ++it;
            }
        }
    }
};

Registry& registry() {
    // Never destroyed: a std::thread still joinable at static destruction would end the process.
    static auto* r = new Registry;
    return *r;
}

void run_worker(std::vector<LocalText> addresses, std::filesystem::path program_folder,
                UiTask on_new_icons, std::shared_ptr<WorkerState> state) {
    // The program keeps to one processor, which this worker shares with the window: it gives
    // way, as a few icons coming later matter less than the window answering now.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    std::size_t saved = 0;
    try {
        saved = download_site_icons(addresses, program_folder, state->cancel);
    } catch (...) {
        // A worker must never take the process down; a failed pass just saves nothing.
    }
    if (saved > 0 && !state->cancel.load() && on_new_icons) post_to_ui(std::move(on_new_icons));
    Registry& r = registry();
    {
        std::lock_guard lock(r.mutex);
        state->done = true;
    }
    r.finished.notify_all();
}

}  // namespace

void start_icon_download(const std::vector<TraceEngine>& engines,
                         const std::filesystem::path& program_folder, UiTask on_new_icons) {
    std::vector<LocalText> addresses;
    addresses.reserve(engines.size());
    for (const TraceEngine& engine : engines) addresses.push_back(engine.address);

    auto state = std::make_shared<WorkerState>();
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.reap();
    try {
        std::thread worker(run_worker, std::move(addresses), program_folder,
                           std::move(on_new_icons), state);
        r.workers.emplace_back(std::move(worker), std::move(state));
    } catch (const std::system_error&) {
        // No thread to be had: the icons stay as they are until the next start.
    }
}

std::size_t running_icon_downloads() {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.reap();
    return r.workers.size();
}

bool wait_icon_downloads(std::chrono::milliseconds bound) {
    Registry& r = registry();
    std::unique_lock lock(r.mutex);
    bool all_done = r.finished.wait_for(lock, bound, [&r] {
        for (auto& worker : r.workers) {
            if (!worker.second->done.load()) return false;
        }
        return true;
    });
    r.reap();
    return all_done;
}

bool stop_icon_downloads(std::chrono::milliseconds bound) {
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        for (auto& worker : r.workers) worker.second->cancel = true;
    }
    bool all_done = wait_icon_downloads(bound);
    if (!all_done) {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        for (auto& worker : r.workers) worker.first.detach();
        r.workers.clear();
    }
    return all_done;
}

}  // namespace trasslo
