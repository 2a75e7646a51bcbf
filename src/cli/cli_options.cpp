#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <utility>

#include "engines/engine_import.h"
#include "journal/journal_report.h"
#include "journal/journal_stats.h"
#include "run/shard.h"

namespace trasslo::cli {
namespace {

// The options a command takes. Values and flags go through these two helpers so that every
// command reads them alike: the last of a repeated value wins, and a flag refuses a value
// ("--utf8=1"; CLI11 lets its own "=true" and an empty "=" pass as the plain flag).
void add_value(CLI::App& app, const char* name, std::optional<std::string>& slot) {
    app.add_option_function<std::string>(name, [&slot](const std::string& value) { slot = value; });
}

void add_flag(CLI::App& app, const char* names, bool& flag) {
    app.add_flag(names, flag)->disable_flag_override();
}

// --journal FILE: the last one counts, or with `repeatable` every one in order.
void add_journal(CLI::App& app, CliOptions& options, bool repeatable) {
    if (!repeatable) {
        app.add_option_function<std::string>(
            "--journal", [&options](const std::string& value) { options.journals = {value}; });
        return;
    }
    app.add_option_function<std::vector<std::string>>(
           "--journal",
           [&options](const std::vector<std::string>& values) { options.journals = values; })
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false);
}

// --shard alone, for the commands that split a list but make no visits of their own (export).
void add_shard_option(CLI::App& app, CliOptions& options) {
    add_value(app, "--shard", options.shard);
}

std::string shard_needs(const CliOptions& options) {
    if (options.shard && !parse_shard(*options.shard))
        return "--shard 的值须为 K/N（1 ≤ K ≤ N）：" + *options.shard;
    return "";
}

// --proxy URL (any number), --proxies FILE and --proxy-rotation site|visit, for every command
// that makes visits.
void add_proxy_options(CLI::App& app, CliOptions& options) {
    app.add_option("--proxy", options.proxies)
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    add_value(app, "--proxies", options.proxies_file);
    add_value(app, "--proxy-rotation", options.proxy_rotation);
}

std::string proxy_needs(const CliOptions& options) {
    if (options.proxy_rotation && *options.proxy_rotation != "site" &&
        *options.proxy_rotation != "visit")
        return "--proxy-rotation 只能是 site 或 visit";
    if (options.proxies_file && options.proxies_file->empty()) return "--proxies 的文件名为空";
    return "";
}

void run_options(CLI::App& app, CliOptions& options) {
    add_value(app, "--engines", options.engines);
    add_value(app, "--keywords", options.keywords);
    add_value(app, "--rounds", options.rounds);
    add_value(app, "--interval", options.interval);
    add_journal(app, options, false);
    add_value(app, "--report", options.report);
    add_flag(app, "--resume", options.resume);
    add_value(app, "--timeout", options.timeout);
    add_value(app, "--safeguard", options.safeguard);
    add_site_options(app, options);
    add_proxy_options(app, options);
}

// What every command that reads journals into a file takes: --journal FILE..., --format, --out.
void add_journal_output(CLI::App& app, CliOptions& options) {
    add_journal(app, options, true);
    add_value(app, "--format", options.format);
    add_value(app, "--out", options.out);
}

void report_options(CLI::App& app, CliOptions& options) {
    add_journal_output(app, options);
    add_value(app, "--run", options.run_id);
    add_flag(app, "--all", options.all);
}

void stats_options(CLI::App& app, CliOptions& options) {
    add_journal_output(app, options);
    add_value(app, "--since", options.since);
    add_value(app, "--until", options.until);
}

void runs_options(CLI::App& app, CliOptions& options) {
    add_journal(app, options, false);
}

void export_options(CLI::App& app, CliOptions& options) {
    add_value(app, "--engines", options.engines);
    add_value(app, "--keywords", options.keywords);
    add_value(app, "--out", options.out);
    add_shard_option(app, options);
}

void test_options(CLI::App& app, CliOptions& options) {
    app.add_option("ADDRESS", options.address);
    add_flag(app, "--utf8", options.utf8);
    add_value(app, "--timeout", options.timeout);
    add_proxy_options(app, options);
}

void engines_options(CLI::App& app, CliOptions& options) {
    add_value(app, "--engines", options.engines);
}

void import_options(CLI::App& app, CliOptions& options) {
    app.add_option("FILE", options.files)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    add_value(app, "--engines", options.engines);
    add_value(app, "--encoding", options.encoding);
    // Each --placeholder takes one text; all of them count.
    app.add_option("--placeholder", options.placeholders)
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    add_flag(app, "--dry-run", options.dry_run);
}

void dedupe_options(CLI::App& app, CliOptions& options) {
    add_value(app, "--engines", options.engines);
    add_flag(app, "--write", options.write);
}

void check_options(CLI::App& app, CliOptions& options) {
    add_value(app, "--engines", options.engines);
    add_value(app, "--keyword", options.keyword);
    add_flag(app, "--all", options.all);
    add_value(app, "--report", options.report);
    add_flag(app, "--untick", options.untick);
    add_flag(app, "--fix-encoding", options.fix_encoding);
    add_value(app, "--timeout", options.timeout);
    add_journal(app, options, false);
    add_site_options(app, options);
    add_proxy_options(app, options);
}

void no_options(CLI::App&, CliOptions&) {}

void completion_options(CLI::App& app, CliOptions& options) {
    app.add_option("SHELL", options.shell);
}

// --timeout SECONDS as seconds: a plain decimal number above 0 and at most an hour.
std::optional<double> timeout_seconds(const std::string& text) {
    if (text.empty() || text.size() > 12 ||
        text.find_first_not_of("0123456789.") != std::string::npos)
        return std::nullopt;
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !(seconds > 0) || seconds > 3600) return std::nullopt;
    return seconds;
}

std::string timeout_needs(const CliOptions& options) {
    if (options.timeout && !timeout_seconds(*options.timeout))
        return "--timeout 的值须为大于 0、不超过 3600 的秒数：" + *options.timeout;
    return "";
}

// What a command needs beyond its options' syntax; the usage error, or "" when it is met.
std::string test_needs(const CliOptions& options) {
    if (options.address.empty()) return "test 命令缺少网址";
    if (std::string error = timeout_needs(options); !error.empty()) return error;
    return proxy_needs(options);
}

std::string export_needs(const CliOptions& options) {
    if (!options.out) return "export 命令缺少 --out FILE";
    return shard_needs(options);
}

std::string run_needs(const CliOptions& options) {
    if (options.report && !options.report->empty() && !report_format_of(*options.report))
        return "--report 的文件名须以 .csv 或 .jsonl 结尾";
    if (std::string error = timeout_needs(options); !error.empty()) return error;
    if (options.safeguard && safeguard_percent(options) < 0)
        return "--safeguard 的值须为 0 到 100 的整数：" + *options.safeguard;
    if (std::string needs = proxy_needs(options); !needs.empty()) return needs;
    return site_options_needs(options);
}

std::string report_needs(const CliOptions& options) {
    if (options.run_id && options.all) return "--run 与 --all 不能同时使用";
    if (options.run_id && (options.run_id->empty() || options.run_id->size() > 18 ||
                           options.run_id->find_first_not_of("0123456789") != std::string::npos))
        return "--run 的值须为留痕编号：" + *options.run_id;
    if (options.format && *options.format != "csv" && *options.format != "jsonl" &&
        *options.format != "html")
        return "--format 只能是 csv、jsonl 或 html";
    return "";
}

std::string stats_needs(const CliOptions& options) {
    for (const auto& [name, value] :
         {std::pair{"--since", &options.since}, {"--until", &options.until}})
        if (*value && !local_day_start_ms(**value))
            return std::string(name) + " 的值须为日期 YYYY-MM-DD：" + **value;
    if (options.since && options.until &&
        *local_day_start_ms(*options.until) < *local_day_start_ms(*options.since))
        return "--until 的日期早于 --since";
    if (options.format && *options.format != "csv" && *options.format != "jsonl")
        return "--format 只能是 csv 或 jsonl";
    return "";
}

std::string check_needs(const CliOptions& options) {
    if (options.keyword && options.keyword->empty()) return "--keyword 的关键词为空";
    if (std::string error = timeout_needs(options); !error.empty()) return error;
    if (std::string needs = proxy_needs(options); !needs.empty()) return needs;
    return site_options_needs(options);
}

std::string completion_needs(const CliOptions& options) {
    if (options.shell != "bash") return "completion 命令只支持 bash";
    return "";
}

std::string import_needs(const CliOptions& options) {
    if (options.files.empty()) return "import 命令缺少要导入的文件";
    if (options.encoding && !encoding_named(*options.encoding))
        return "--encoding 只能是 utf-8、utf8、gbk、gb2312 或 gb18030";
    for (const std::string& text : options.placeholders)
        if (text.empty()) return "--placeholder 的文字为空";
    return "";
}

// One row per command. A new command is a row here with its option function (and its help text
// and its function in cli_commands.cpp).
struct CommandInfo {
    Command command;
    std::string_view name;
    void (*define_options)(CLI::App&, CliOptions&);
    std::string (*needs)(const CliOptions&);  // may be null
    bool hidden = false;                      // left out of the completion (the help's own)
};

constexpr CommandInfo commands[] = {
    {Command::run, "run", run_options, run_needs},
    {Command::export_addresses, "export", export_options, export_needs},
    {Command::test, "test", test_options, test_needs},
    {Command::engines, "engines", engines_options, nullptr},
    {Command::report, "report", report_options, report_needs},
    {Command::runs, "runs", runs_options, nullptr},
    {Command::import_engines, "import", import_options, import_needs},
    {Command::dedupe, "dedupe", dedupe_options, nullptr},
    {Command::check, "check", check_options, check_needs},
    {Command::stats, "stats", stats_options, stats_needs},
    {Command::where, "where", no_options, nullptr},
    {Command::completion, "completion", completion_options, completion_needs, true},
};

const CommandInfo* find_command(std::string_view name) {
    for (const CommandInfo& info : commands)
        if (info.name == name) return &info;
    return nullptr;
}

// The usage error for an argument the command did not take: an option (anything before "--"
// that starts with "-", named without its "=value") or a surplus operand.
std::string not_taken(Command command, const std::string& arg, bool operand) {
    if (!operand && arg.size() > 1 && arg[0] == '-')
        return "命令 " + std::string(command_name(command)) + " 不接受选项 " +
               arg.substr(0, arg.find('='));
    return "多余的参数：" + arg;
}

// The first argument CLI11 left over, in command-line order; "" when there is none. CLI11 keeps
// the "--" that ends the options among them, so the first one only marks what follows as
// operands.
std::string first_left_over(Command command, const std::vector<std::string>& left_over) {
    bool operands = false;
    for (const std::string& arg : left_over) {
        if (arg == "--" && !operands) {
            operands = true;
            continue;
        }
        return not_taken(command, arg, operands);
    }
    return "";
}

// The file names that must not be empty, in the order they are checked.
std::string empty_file_name(const CliOptions& options) {
    const std::pair<const char*, const std::optional<std::string>*> files[] = {
        {"--out", &options.out},
        {"--engines", &options.engines},
        {"--keywords", &options.keywords},
    };
    for (const auto& [name, value] : files)
        if (*value && (*value)->empty()) return std::string(name) + " 的文件名为空";
    if (options.report && options.report->empty()) return "--report 的文件名为空";
    for (const std::string& journal : options.journals)
        if (journal.empty()) return "--journal 的文件名为空";
    return "";
}

// CLI11 reads "--out=" as "--out" still waiting for its value, which would swallow the next
// argument; given as an argument of its own, the empty value stays an empty value. Only for
// options that take a value, and only before "--": after it every argument is an operand.
std::vector<std::string> with_empty_values_apart(const CLI::App& app,
                                                 const std::vector<std::string>& args) {
    std::vector<std::string> out;
    out.reserve(args.size() + 1);
    bool operands = false;
    for (const std::string& arg : args) {
        if (arg == "--") operands = true;
        const bool empty_value =
            !operands && arg.size() > 3 && arg.starts_with("--") && arg.find('=') == arg.size() - 1;
        const CLI::Option* option =
            empty_value ? app.get_option_no_throw(arg.substr(0, arg.size() - 1)) : nullptr;
        if (option && option->get_items_expected_max() > 0) {
            out.push_back(arg.substr(0, arg.size() - 1));
            out.emplace_back();
        } else {
            out.push_back(arg);
        }
    }
    return out;
}

// The parser of one command's arguments, writing into `options`.
void define_command(CLI::App& app, const CommandInfo& info, CliOptions& options) {
    app.set_help_flag();  // the help texts are our own (cli_help.cpp)
    app.allow_extras();   // collected rather than thrown, to be reported in our words
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    add_flag(app, "-h,--help", options.help);
    info.define_options(app, options);
}

// Parses the arguments after the command word into `options`; the usage error, or "".
std::string parse_command_arguments(const CommandInfo& info, const std::vector<std::string>& args,
                                    CliOptions& options) {
    CLI::App app;
    define_command(app, info, options);

    const std::vector<std::string> given = with_empty_values_apart(app, args);
    std::vector<std::string> pending(given.rbegin(), given.rend());  // CLI11 eats from the back
    try {
        app.parse(pending);
    } catch (const CLI::ParseError&) {
        // Arguments CLI11 left over came before the one it stopped at.
        if (std::string error = first_left_over(info.command, app.remaining()); !error.empty())
            return error;
        // It stops at an option just taken from the list: one that ran out of arguments for its
        // value (the last one), or a flag given a value.
        const std::size_t taken = given.size() - pending.size();
        if (taken == 0) throw;  // a fault in the options above, not in the command line
        const std::string& stopped_at = given[taken - 1];
        if (stopped_at.find('=') != std::string::npos)
            return not_taken(info.command, stopped_at, false);
        return "选项 " + stopped_at + " 缺少取值";
    }
    if (std::string error = first_left_over(info.command, app.remaining()); !error.empty())
        return error;
    if (options.help) return "";
    if (info.needs)
        if (std::string error = info.needs(options); !error.empty()) return error;
    return empty_file_name(options);
}

}  // namespace

void add_site_options(CLI::App& app, CliOptions& options) {
    add_value(app, "--parallel", options.parallel);
    add_shard_option(app, options);
}

std::string site_options_needs(const CliOptions& options) {
    if (options.parallel) {
        const std::string& text = *options.parallel;
        const bool digits = !text.empty() && text.size() <= 3 &&
                            text.find_first_not_of("0123456789") == std::string::npos;
        const int value = digits ? std::stoi(text) : 0;
        if (value < 1 || value > 256) return "--parallel 的值须为 1 到 256 之间的整数：" + text;
    }
    return shard_needs(options);
}

int parallel_sites(const CliOptions& options) {
    return options.parallel ? std::stoi(*options.parallel) : 1;
}

std::vector<CommandSummary> command_summaries() {
    std::vector<CommandSummary> summaries;
    for (const CommandInfo& info : commands) {
        if (info.hidden) continue;
        CLI::App app;
        CliOptions options;
        define_command(app, info, options);
        CommandSummary summary{info.name, {}};
        for (const CLI::Option* option : app.get_options()) {
            if (!option->nonpositional()) continue;  // an operand (ADDRESS, FILE...)
            const bool takes_value = option->get_items_expected_max() > 0;
            for (const std::string& name : option->get_lnames())
                summary.options.push_back({"--" + name, takes_value});
            for (const std::string& name : option->get_snames())
                summary.options.push_back({"-" + name, takes_value});
        }
        summaries.push_back(std::move(summary));
    }
    return summaries;
}

long request_timeout_ms(const CliOptions& options, long fallback) {
    if (!options.timeout) return fallback;
    const std::optional<double> seconds = timeout_seconds(*options.timeout);
    return seconds ? std::max(1L, static_cast<long>(*seconds * 1000)) : fallback;
}

std::string_view command_name(Command command) {
    for (const CommandInfo& info : commands)
        if (info.command == command) return info.name;
    return "";
}

ParseResult parse_command_line(const std::vector<std::string>& args) {
    ParseResult result;
    CliOptions& options = result.options;
    if (!args.empty() && args[0] == "--version") {
        options.version = true;
        return result;
    }
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h" || args[0] == "help")) {
        // "help run" and "--help run" both ask for the command's help; what follows is ignored.
        options.help = true;
        if (args.size() > 1) {
            const CommandInfo* info = find_command(args[1]);
            if (!info)
                result.error = "未知的命令：" + args[1];
            else
                options.command = info->command;
        }
        return result;
    }
    if (args.empty()) {
        result.error = "缺少命令";
        return result;
    }
    const CommandInfo* info = find_command(args[0]);
    if (!info) {
        result.error = "未知的命令：" + args[0];
        return result;
    }
    options.command = info->command;
    result.error = parse_command_arguments(
        *info, std::vector<std::string>(args.begin() + 1, args.end()), options);
    return result;
}

int safeguard_percent(const CliOptions& options) {
    if (!options.safeguard) return 80;
    const std::string& text = *options.safeguard;
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    const int value = std::stoi(text);
    return value > 100 ? -1 : value;
}

}  // namespace trasslo::cli
