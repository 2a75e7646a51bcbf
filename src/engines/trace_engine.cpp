#include "engines/trace_engine.h"

#include "net/site_host.h"

namespace trasslo {
namespace {

LocalText without_line_breaks(std::string_view text) {
    LocalText out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\r' && c != '\n') out += c;
    }
    return out;
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
    engine.address = replace_text(without_line_breaks(address), "|", "%7C");
    engine.name = replace_text(without_line_breaks(name), "|", full_width_bar);
    return engine;
}

}  // namespace trasslo
