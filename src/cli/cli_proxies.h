// The proxies of a command that makes visits: --proxy URL, --proxies FILE and
// --proxy-rotation, made into the pool the visits choose from. Without either option the pool
// is empty and the environment's variables apply, as curl reads them.
#pragma once

#include <memory>
#include <string>

#include "cli/cli_options.h"
#include "net/proxy_pool.h"

namespace trasslo::cli {

// The pool, its file's warnings written to standard error; nothing, with `error` set, when the
// file cannot be read, a --proxy value is malformed, or the options name no usable proxy (which
// would otherwise mean going direct without a word).
std::unique_ptr<ProxyPool> proxy_pool_for(const CliOptions& options, std::string& error);

}  // namespace trasslo::cli
