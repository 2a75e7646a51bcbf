#include "cli/cli_options.h"

#include <array>
#include <utility>

namespace trasslo::cli {
namespace {

struct CommandInfo {
    Command command;
    std::string_view name;
};

constexpr std::array<CommandInfo, 4> commands = {{
    {Command::run, "run"},
    {Command::export_addresses, "export"},
    {Command::test, "test"},
    {Command::engines, "engines"},
}};

// Which value options a command accepts.
bool takes_option(Command command, std::string_view option) {
    switch (command) {
        case Command::run:
            return option == "--engines" || option == "--keywords" || option == "--rounds" ||
                   option == "--interval";
        case Command::export_addresses:
            return option == "--engines" || option == "--keywords" || option == "--out";
        case Command::engines:
            return option == "--engines";
        case Command::test:
        case Command::none:
            return false;
    }
    return false;
}

std::optional<std::string>* option_slot(CliOptions& options, std::string_view option) {
    if (option == "--engines") return &options.engines;
    if (option == "--keywords") return &options.keywords;
    if (option == "--rounds") return &options.rounds;
    if (option == "--interval") return &options.interval;
    if (option == "--out") return &options.out;
    return nullptr;
}

}  // namespace

std::string_view command_name(Command command) {
    for (const CommandInfo& info : commands)
        if (info.command == command) return info.name;
    return "";
}

ParseResult parse_command_line(const std::vector<std::string>& args) {
    ParseResult result;
    CliOptions& options = result.options;
    auto fail = [&result](std::string message) {
        result.error = std::move(message);
        return result;
    };

    std::size_t i = 0;
    if (i < args.size() && (args[i] == "--help" || args[i] == "-h" || args[i] == "help")) {
        options.help = true;
        ++i;
        // "help run" and "--help run" both ask for the command's help.
        if (i < args.size()) {
            for (const CommandInfo& info : commands)
                if (args[i] == info.name) options.command = info.command;
            if (options.command == Command::none) return fail("未知的命令：" + args[i]);
        }
        return result;
    }
    if (i >= args.size()) return fail("缺少命令");
    for (const CommandInfo& info : commands)
        if (args[i] == info.name) options.command = info.command;
    if (options.command == Command::none) return fail("未知的命令：" + args[i]);
    ++i;

    bool have_address = false;
    bool only_operands = false;  // after "--" everything is an operand
    for (; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!only_operands && arg == "--") {
            only_operands = true;
            continue;
        }
        if (!only_operands && (arg == "--help" || arg == "-h")) {
            options.help = true;
            continue;
        }
        if (!only_operands && arg.size() > 1 && arg[0] == '-') {
            if (options.command == Command::test && arg == "--utf8") {
                options.utf8 = true;
                continue;
            }
            std::string name = arg;
            std::optional<std::string> value;
            if (auto eq = arg.find('='); eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
            }
            if (!takes_option(options.command, name))
                return fail("命令 " + std::string(command_name(options.command)) + " 不接受选项 " +
                            name);
            if (!value) {
                if (i + 1 >= args.size()) return fail("选项 " + name + " 缺少取值");
                value = args[++i];
            }
            *option_slot(options, name) = std::move(*value);
            continue;
        }
        if (options.command == Command::test && !have_address) {
            options.address = arg;
            have_address = true;
            continue;
        }
        return fail("多余的参数：" + arg);
    }
    if (options.help) return result;
    if (options.command == Command::test && !have_address) return fail("test 命令缺少网址");
    if (options.command == Command::export_addresses && !options.out)
        return fail("export 命令缺少 --out FILE");
    if (options.out && options.out->empty()) return fail("--out 的文件名为空");
    if (options.engines && options.engines->empty()) return fail("--engines 的文件名为空");
    if (options.keywords && options.keywords->empty()) return fail("--keywords 的文件名为空");
    return result;
}

}  // namespace trasslo::cli
