#include "base/key_state.h"

#include <mutex>

namespace trasslo {
namespace {

std::mutex query_mutex;
KeyStateQuery& installed_query() {
    static KeyStateQuery query;
    return query;
}

}  // namespace

void install_key_state_query(KeyStateQuery query) {
    std::lock_guard lock(query_mutex);
    installed_query() = std::move(query);
}

bool is_key_held(ModifierKey key) {
    KeyStateQuery query;
    {
        std::lock_guard lock(query_mutex);
        query = installed_query();
    }
    return query ? query(key) : false;
}

}  // namespace trasslo
