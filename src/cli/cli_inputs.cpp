#include "cli/cli_inputs.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "cli/cli_warnings.h"
#include "cli/keyword_file.h"
#include "engines/engine_list_file.h"
#include "files/system_error_text.h"
#include "files/whole_file.h"
#include "run/window_defaults.h"
#include "settings/settings_store.h"
#include "text/charset.h"
#include "text/lossless_text.h"

namespace trasslo::cli {
namespace {

std::string unreadable(const std::string& file, int error_number) {
    return "无法读取文件 " + file + "：" + system_error_text(error_number);
}

// Reads a whole named file, a pipe included; errno tells why when it fails (a folder too).
std::optional<std::string> read_named_file(const std::string& file, int& error_number) {
    std::string bytes;
    if (!read_whole_file(file, bytes, &error_number, /*streams_too=*/true)) return std::nullopt;
    return bytes;
}

std::optional<std::string> read_stream(std::FILE* in, int& error_number) {
    std::string bytes;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) bytes.append(buffer, got);
    if (std::ferror(in)) {
        error_number = errno;
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

LocalText normalize_line_ends(std::string_view text) {
    LocalText out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        // LF never occurs inside a GBK character (trail bytes are 0x40 and above).
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += text[i];
    }
    return out;
}

std::filesystem::path engine_list_file_for(const std::optional<std::string>& file,
                                           const std::filesystem::path& program_folder) {
    return file ? std::filesystem::path(*file) : engine_list_file_path(program_folder);
}

std::optional<std::vector<TraceEngine>> load_engines(const std::optional<std::string>& file,
                                                     const std::filesystem::path& program_folder,
                                                     std::string& error,
                                                     std::vector<std::string>& warnings) {
    if (!file) {
        // Like the window, but lines may also end with LF alone.
        const std::filesystem::path path = engine_list_file_path(program_folder);
        const LocalText text =
            normalize_line_ends(until_zero(decode_file_to_local_text(path).text));
        std::vector<TraceEngine> engines = parse_engine_list_text(text);
        if (engines.empty()) return parse_engine_list_text(default_engine_list_text());
        warnings = engine_line_warnings(path.string(), text);
        return engines;
    }
    int error_number = 0;
    const std::optional<std::string> bytes = read_named_file(*file, error_number);
    if (!bytes) {
        error = unreadable(*file, error_number);
        return std::nullopt;
    }
    const LocalText text =
        normalize_line_ends(until_zero(decode_bytes_to_local_text(std::string_view(*bytes))));
    warnings = engine_line_warnings(*file, text);
    return parse_engine_list_text(text);
}

std::optional<LocalText> load_keywords(const std::optional<std::string>& file,
                                       const std::filesystem::path& settings_folder, std::FILE* in,
                                       std::string& error) {
    if (file) {
        int error_number = 0;
        const std::optional<std::string> bytes =
            *file == "-" ? read_stream(in, error_number) : read_named_file(*file, error_number);
        if (!bytes) {
            error = *file == "-"
                        ? std::string("无法读取标准输入：") + system_error_text(error_number)
                        : unreadable(*file, error_number);
            return std::nullopt;
        }
        if (const std::optional<std::string> refusal = keyword_file_refusal(*bytes)) {
            error = "关键词文件 " + (*file == "-" ? std::string("（标准输入）") : *file) + " " +
                    *refusal + "，不是文本文件";
            return std::nullopt;
        }
        // Every character of the file is kept, those GBK lacks included.
        return without_blank_lines(normalize_line_ends(
            until_zero(decode_lossless(std::string_view(with_utf16_mark(*bytes))))));
    }
    // The keyword list the main window saved: only look when its settings file exists, so that
    // asking does not create one.
    const std::filesystem::path ini = settings_file_path(settings_folder);
    std::error_code ec;
    if (std::filesystem::is_regular_file(ini, ec)) {
        SettingsStore store;
        store.open(ini);
        store.set_section(main_window_section());
        const ByteBuffer saved = store.read_bytes(keyword_list_control_name());
        store.close();
        if (!saved.empty()) return normalize_line_ends(until_zero(bytes_to_text(saved)));
    }
    return default_keyword_list_text();
}

}  // namespace trasslo::cli
