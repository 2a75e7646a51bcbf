#include "engines/trace_engine.h"

#include "net/site_host.h"

namespace trasslo {

LocalText engine_item_text(const TraceEngine& engine) {
    LocalText text = engine.name;
    text += '(';
    text += site_host(engine.address);
    text += ')';
    return text;
}

}  // namespace trasslo
