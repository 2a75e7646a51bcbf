// Site icons of the engine tree: giving every item its picture from the icon cache, and the
// download worker that fills the cache from the sites' "/favicon.ico".
//
// The window calls, at start-up and after each added engine:
//   apply_site_icons(list.engines, tree, folder);
//   start_icon_download(list.engines, folder, [this] { apply_site_icons(...); });
// The worker works on a copy of the engines' addresses taken by start_icon_download on the
// calling (user-interface) thread, never touches the tree, and hands its closing refresh to
// post_to_ui() (ui/ui_dispatch.h), so the refresh runs on the user-interface thread and is
// dropped once the window's dispatcher is gone.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include "base/ui_dispatch.h"
#include "engines/engine_tree.h"
#include "engines/trace_engine.h"
#include "text/local_text.h"

namespace trasslo {

// Gives tree item i the cached icon of engines[i]'s host, or the default icon when the file is
// missing or empty (a file that holds no picture is drawn as the default icon by the tree); the
// file is read when the tree asks for it (EngineTree:: set_item_icon_source). Items beyond the
// engine list get the default icon. Items before `first` are left as they are (engines just
// appended to a long list). User-interface thread.
void apply_site_icons(const std::vector<TraceEngine>& engines, EngineTree& tree,
                      const std::filesystem::path& program_folder, int first = 0);

// What one icon address answered: the final status (0 when no answer came) and the body.
struct IconAnswer {
    long status = 0;
    ByteBuffer body{};
};

// Fetches one icon address; `https` tells that the engine's address is an "https://" one. The
// worker's own fetch uses page_request for those and HttpClient's request_bytes for all others,
// every optional argument left out.
using IconFetch = std::function<IconAnswer(std::string_view icon_address, bool https)>;

// One pass of the worker over `addresses` (engine address templates, in list order), under the
// icon lock: every host without a cached file is fetched at its icon addresses until an answer
// that is not HTML, and a non-empty answer is saved unless its status is 400 or more (a site's
// "not found" text is no icon). Hosts already tried in this pass are not
// tried again. Stops early when `cancel` becomes true, and saves nothing once it is. Returns how
// many icon files were saved.
// `fetch` replaces the network for callers that bring their own; left empty, a fresh
// HttpClient of this pass is used.
std::size_t download_site_icons(const std::vector<LocalText>& addresses,
                                const std::filesystem::path& program_folder,
                                const std::atomic<bool>& cancel, const IconFetch& fetch = {});

// Starts a worker thread running download_site_icons on a copy of the engines' addresses and
// returns at once. When it saved at least one icon and was not stopped, it posts `on_new_icons`
// to the user-interface thread.
void start_icon_download(const std::vector<TraceEngine>& engines,
                         const std::filesystem::path& program_folder, UiTask on_new_icons);

// Workers started and not yet finished.
std::size_t running_icon_downloads();

// Waits up to `bound` for every worker to finish on its own; true when none is left running.
bool wait_icon_downloads(std::chrono::milliseconds bound);

// Shut-down: asks every worker to stop and waits up to `bound` for them. A worker waiting for
// the icon lock gives up at once; one inside a request notices at the request's end (the
// request layer cannot be interrupted from another thread) and saves nothing more. Workers still
// running when `bound` runs out are let go: they end by themselves later, touching nothing but
// their own state, the icon lock and the cache folder. True when every worker had ended; false
// means one still sits in a request, so the caller should end the process without running
// static destructors (std::quick_exit or _exit) rather than return from main.
bool stop_icon_downloads(std::chrono::milliseconds bound);

}  // namespace trasslo
