// The command line of trasslo-cli: which command, and the options it was given. Parsing only;
// nothing is read or run here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

namespace trasslo::cli {

enum class Command {
    none,
    run,
    export_addresses,
    test,
    engines,
    report,
    runs,
    import_engines,
    dedupe,
    check,
    where,
    completion,
    stats
};

struct CliOptions {
    Command command = Command::none;
    bool help = false;                          // --help / -h, for the program or for `command`
    bool version = false;                       // --version, for the program
    std::optional<std::string> engines;         // --engines FILE
    std::optional<std::string> keywords;        // --keywords FILE, "-" for standard input
    std::optional<std::string> rounds;          // --rounds N, kept as text like the window's edit
    std::optional<std::string> interval;        // --interval SECONDS, likewise
    std::optional<std::string> out;             // --out FILE
    std::string address;                        // test ADDRESS
    bool utf8 = false;                          // test --utf8
    std::vector<std::string> journals;          // --journal FILE (repeatable on report)
    bool resume = false;                        // run --resume
    std::optional<std::string> report;          // run --report FILE (.csv or .jsonl); check (.csv)
    std::optional<std::string> run_id;          // report --run N
    bool all = false;                           // report --all; check --all (every engine)
    std::optional<std::string> format;          // report --format csv|jsonl|html; stats csv|jsonl
    std::optional<std::string> since;           // stats --since YYYY-MM-DD
    std::optional<std::string> until;           // stats --until YYYY-MM-DD
    std::vector<std::string> files;             // import FILE...
    std::optional<std::string> encoding;        // import --encoding gbk|gb2312|gb18030|utf-8|utf8
    std::vector<std::string> placeholders;      // import --placeholder TEXT, any number of them
    bool dry_run = false;                       // import --dry-run
    bool write = false;                         // dedupe --write
    std::optional<std::string> keyword;         // check --keyword WORD
    bool untick = false;                        // check --untick
    bool fix_encoding = false;                  // check --fix-encoding
    std::optional<std::string> parallel;        // --parallel N, sites visited at once (1 to 256)
    std::optional<std::string> shard;           // --shard K/N, this process's share of the sites
    std::string shell;                          // completion SHELL
    std::optional<std::string> timeout;         // --timeout SECONDS, the longest a request may take
    std::vector<std::string> proxies;           // --proxy URL, any number of them
    std::optional<std::string> proxies_file;    // --proxies FILE
    std::optional<std::string> proxy_rotation;  // --proxy-rotation site|visit
    std::optional<std::string> safeguard;       // run --safeguard PCT
};

struct ParseResult {
    CliOptions options;
    std::string error;  // empty when the command line is usable
};

// Parses the arguments after the program name. Options take their value as the next argument
// or after "=" (--rounds=3). Unknown commands or options, a missing value, an option the
// command does not take, or a missing --out / ADDRESS are errors.
ParseResult parse_command_line(const std::vector<std::string>& args);

// The options of a run that visits many sites, for every command that makes visits: --parallel N
// and --shard K/N. Their usage error, or "" when both are usable.
void add_site_options(CLI::App& app, CliOptions& options);
std::string site_options_needs(const CliOptions& options);
// --parallel N as a number: 1 when it is not given.
int parallel_sites(const CliOptions& options);

// What a command takes, read from the same table the parser uses, for the shell completion.
struct OptionSummary {
    std::string name;  // "--engines", "-h"
    bool takes_value = false;
};
struct CommandSummary {
    std::string_view name;
    std::vector<OptionSummary> options;
};
// Every command a user types, in the order of the table; hidden ones (completion) left out.
std::vector<CommandSummary> command_summaries();
// --timeout SECONDS in milliseconds; `fallback` when it is not given. The value was checked by
// parse_command_line: a number of seconds above 0, at most 3600.
long request_timeout_ms(const CliOptions& options, long fallback);
// run --safeguard PCT as a number: 80 when it is not given, -1 when it is no whole 0 to 100.
int safeguard_percent(const CliOptions& options);

// The name a command is typed as ("run", "export", ...).
std::string_view command_name(Command command);

}  // namespace trasslo::cli
