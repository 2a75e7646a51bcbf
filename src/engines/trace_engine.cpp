#include "engines/trace_engine.h"

#include <algorithm>

#include "net/site_host.h"

namespace trasslo {
namespace {

// The text as the engine list file, which escapes nothing, can hold it: CR and LF dropped;
// every "<" written `angle`, since a "<meta charset>" anywhere in the file changes how the whole
// file is read; every "|" at a character boundary written `bar`; and the first half of a
// double-byte character that the text ends with dropped, since the reader would take the
// separator or the line end behind it for the second half.
LocalText protected_text(std::string_view text, std::string_view bar, std::string_view angle) {
    const bool plain = std::none_of(text.begin(), text.end(), [](char c) {
        return c == '\r' || c == '\n' || c == '|' || c == '<';
    });
    LocalText out;
    if (plain) {
        out = text;
    } else {
        out.reserve(text.size());
        for (char c : text) {
            if (c == '<')
                out += angle;
            else if (c != '\r' && c != '\n')
                out += c;
        }
        out = replace_text(out, "|", bar);
    }
    if (ends_with_cut_character(out)) out.pop_back();
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
    static const LocalText full_width_angle = local("＜");
    TraceEngine engine;
    engine.enabled = true;
    engine.encoding = encoding;
    engine.address = protected_text(address, "%7C", "%3C");
    engine.name = protected_text(name, full_width_bar, full_width_angle);
    return engine;
}

}  // namespace trasslo
