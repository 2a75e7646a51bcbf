#include "engines/trace_engine.h"

#include <algorithm>

#include "net/site_host.h"

namespace trasslo {
namespace {

// The text without CR and LF, and with every "|" (at a character boundary) written `bar`.
LocalText protected_text(std::string_view text, std::string_view bar) {
    const bool plain = std::none_of(text.begin(), text.end(),
                                    [](char c) { return c == '\r' || c == '\n' || c == '|'; });
    if (plain) return LocalText(text);
    LocalText out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\r' && c != '\n') out += c;
    }
    return replace_text(out, "|", bar);
}

}  // namespace

LocalText engine_item_text(const TraceEngine& engine) {
    LocalText text = engine.name;
    text += '(';
    text += site_host(engine.address);
    text += ')';
    return text;
}

TraceEngine engine_for_list(std::string_view name, std::string_view address, int encoding) {
    static const LocalText full_width_bar = local("｜");
    TraceEngine engine;
    engine.enabled = true;
    engine.encoding = encoding;
    engine.address = protected_text(address, "%7C");
    engine.name = protected_text(name, full_width_bar);
    return engine;
}

}  // namespace trasslo
