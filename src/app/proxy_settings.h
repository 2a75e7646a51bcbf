// The window's proxies, kept in the settings file: the list (one proxy a line in the dialog)
// and the rotation. The file then holds logins, so it is made readable by its owner only.
#pragma once

#include <memory>
#include <string>

#include "net/proxy_pool.h"
#include "settings/settings_store.h"

namespace trasslo {

struct ProxySettings {
    std::string list;  // the proxies file's form: one proxy a line, "#" comments
    ProxyRotation rotation = ProxyRotation::site;
};

ProxySettings read_proxy_settings(SettingsStore& store);
// Writes them under their own section (the store's section is kept) and, when a list is kept,
// makes the settings file mode 0600. False when the file refused the write.
bool write_proxy_settings(SettingsStore& store, const ProxySettings& settings);

// The pool a window run goes through: the list's proxies, or, with an empty list, the
// environment's variables. Malformed lines are left out.
std::unique_ptr<ProxyPool> proxy_pool_of(const ProxySettings& settings);

}  // namespace trasslo
