#include "cli/import_commands.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli_commands.h"
#include "cli/cli_inputs.h"
#include "cli/terminal_views.h"
#include "engines/engine_import.h"
#include "engines/engine_list_file.h"
#include "engines/template_normal_form.h"
#include "files/folder_lock.h"
#include "files/system_error_text.h"
#include "files/whole_file.h"

namespace trasslo::cli {
namespace {

void say(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
}

// The engine list the command works on: the --engines file, else the program folder's file
// (or the eight defaults the window would show). With `missing_is_empty` a named file that does
// not exist yet is an empty list, to be created. Warnings about malformed lines are written out.
std::optional<std::vector<TraceEngine>> engine_list_for(const CliOptions& options,
                                                        const std::filesystem::path& folder,
                                                        bool missing_is_empty) {
    std::error_code ec;
    if (options.engines && missing_is_empty && !std::filesystem::exists(*options.engines, ec) &&
        !ec)
        return std::vector<TraceEngine>{};
    std::string error;
    std::vector<std::string> warnings;
    auto engines = load_engines(options.engines, folder, error, warnings);
    for (const std::string& warning : warnings) say(warning);
    if (!engines) say("trasslo-cli：" + error);
    return engines;
}

// Saves `engines` where they were read from; says so and gives false when it failed.
bool save_engine_list_for(const CliOptions& options, const std::filesystem::path& folder,
                          const std::vector<TraceEngine>& engines) {
    const std::filesystem::path file = engine_list_file_for(options.engines, folder);
    if (write_engine_list_file_at(file, engines)) return true;
    say("trasslo-cli：无法写出留痕引擎列表 " + file.string() + "，文件保持原样");
    return false;
}

}  // namespace

int import_command(const CliOptions& options, const std::filesystem::path& program_folder) {
    std::vector<LocalText> texts;
    for (const std::string& file : options.files) {
        std::string bytes;
        int error_number = 0;
        if (!read_whole_file(file, bytes, &error_number, /*streams_too=*/true)) {
            say("trasslo-cli：无法读取文件 " + file + "：" + system_error_text(error_number));
            return exit_usage;
        }
        texts.push_back(import_file_text(bytes));
    }
    // From reading the list to saving it, no other command changes it.
    const FolderLock lock(folder_of(engine_list_file_for(options.engines, program_folder)));
    std::optional<std::vector<TraceEngine>> engines =
        engine_list_for(options, program_folder, /*missing_is_empty=*/true);
    if (!engines) return exit_usage;

    ImportOptions import;
    if (options.encoding) import.fallback_encoding = *encoding_named(*options.encoding);
    for (const std::string& text : options.placeholders) import.placeholders.push_back(local(text));
    import.dry_run = options.dry_run;
    import.how_to_check_encodings = " trasslo-cli check --fix-encoding ";
    const ImportReport report = import_engines(*engines, texts, import);

    if (!options.dry_run && !report.engines.empty()) {
        engines->insert(engines->end(), report.engines.begin(), report.engines.end());
        if (!save_engine_list_for(options, program_folder, *engines)) return exit_failed;
    }
    for (const LocalText& line : import_summary(report, options.files, import))
        say(terminal_line(line));
    const bool only_duplicates = report.invalid == 0 && report.no_placeholder == 0;
    return !report.engines.empty() || only_duplicates ? exit_ok : exit_failed;
}

int dedupe_command(const CliOptions& options, const std::filesystem::path& program_folder) {
    const FolderLock lock(folder_of(engine_list_file_for(options.engines, program_folder)));
    std::optional<std::vector<TraceEngine>> engines =
        engine_list_for(options, program_folder, /*missing_is_empty=*/false);
    if (!engines) return exit_usage;
    const std::vector<DuplicateGroup> groups = duplicate_engine_groups(*engines);
    std::size_t duplicates = 0;
    for (const DuplicateGroup& group : groups) {
        if (duplicates > 0) std::printf("\n");
        duplicates += group.duplicates.size();
        // One line per engine, numbered as the file's lines: kept or duplicate, line, tree text,
        // address.
        auto print = [&](const char* role, std::size_t index) {
            const TraceEngine& engine = (*engines)[index];
            std::printf("%s\t%zu\t%s\t%s\n", role, index + 1,
                        terminal_line(engine_item_text(engine)).c_str(),
                        terminal_line(engine.address).c_str());
        };
        print("保留", group.kept);
        for (std::size_t index : group.duplicates) print("重复", index);
    }
    if (groups.empty()) {
        say("没有重复的引擎");
        return exit_ok;
    }
    const std::string counts = std::to_string(groups.size()) + " 组重复，共 " +
                               std::to_string(duplicates) + " 个重复的引擎";
    if (!options.write) {
        say(counts + "；加 --write 删除它们（每组保留第一个）");
        return exit_ok;
    }
    if (!save_engine_list_for(options, program_folder, without_duplicates(*engines, groups)))
        return exit_failed;
    say(counts + "，已删除并保存");
    return exit_ok;
}

}  // namespace trasslo::cli
