// The settings store on any file and under any sequence of writes: after the writes every value
// reads back as written (where the format can hold it), the file on disk equals the contents,
// a second opener is kept out, and a re-opened store reads the same.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "fuzz_folder.h"
#include "fuzz_input.h"
#include "settings/settings_store.h"
#include "text/local_text.h"

namespace {

using Stored = std::variant<std::string, double, bool>;
using Key = std::pair<std::string, std::string>;  // section, key

std::string replace_all(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    size_t at = 0;
    for (size_t hit = text.find(from); hit != std::string_view::npos; hit = text.find(from, at)) {
        out.append(text.substr(at, hit - at)).append(to);
        at = hit + from.size();
    }
    out.append(text.substr(at));
    return out;
}

// What a text value reads back as: line breaks survive as their stand-in, and a stand-in the
// value held already comes back as a line break.
std::string read_back(std::string_view value) {
    static const std::string stand_in = trasslo::local("┊*┊");
    return replace_all(replace_all(value, "\r\n", stand_in), stand_in, "\r\n");
}

bool has_line_break(std::string_view name) {
    return name.find('\r') != std::string_view::npos || name.find('\n') != std::string_view::npos;
}

// Names the format cannot keep apart from others: a "]" in a section name ends its header
// early, and a key with "=" or a leading "[" reads as another key or as a header line.
bool ambiguous(std::string_view section, std::string_view key) {
    return section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
           key.starts_with("[");
}

double number_from(std::string_view bytes) {
    double number = 0;
    std::memcpy(&number, bytes.data(), std::min(bytes.size(), sizeof number));
    return number;
}

struct Model {
    std::map<Key, Stored> values;
    std::map<std::filesystem::path, std::pair<Key, std::string>> byte_files;
};

void check(trasslo::SettingsStore& store, const Model& model) {
    static const std::string fallback =
        "\x01"
        "fallback";
    for (const auto& [where, stored] : model.values) {
        store.set_section(where.first);
        const std::string text = store.read_text(where.second, fallback);
        if (const auto* value = std::get_if<std::string>(&stored)) {
            const std::string expected = read_back(*value);
            if (text != (expected.empty() ? fallback : expected)) __builtin_trap();
        } else if (const auto* number = std::get_if<double>(&stored)) {
            const double back = store.read_number(where.second, 7);
            if (std::isfinite(*number) && std::abs(*number) > 1e-300 &&
                std::abs(back - *number) > 1e-12 * std::abs(*number))
                __builtin_trap();
        } else if (store.read_bool(where.second, !std::get<bool>(stored)) !=
                   std::get<bool>(stored)) {
            __builtin_trap();
        }
    }
    for (const auto& [path, entry] : model.byte_files) {
        store.set_section(entry.first.first);
        const trasslo::ByteBuffer fallback_bytes{9, 9};
        const auto bytes = store.read_bytes(entry.first.second, fallback_bytes);
        const std::string expected = entry.second;
        if (expected.empty() ? bytes != fallback_bytes
                             : std::string(bytes.begin(), bytes.end()) != expected)
            __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    trasslo::fuzz::FuzzInput in(data, size);
    const auto& folder = trasslo::fuzz::fuzz_folder();
    const auto path = trasslo::settings_file_path(folder);
    std::error_code ec;
    std::filesystem::remove(path, ec);
    std::filesystem::remove_all(folder / "inibin", ec);

    const unsigned mode = in.byte();
    if (mode & 1) trasslo::fuzz::write_whole_file(path, in.piece('\x02'));
    const std::string initial = trasslo::fuzz::read_whole_file(path);

    trasslo::SettingsStore store;
    if (!store.open(path) || store.contents() != initial) __builtin_trap();

    Model model;
    bool model_holds = true;
    std::string section;
    for (int op = 0; op < 64 && !in.empty(); ++op) {
        const unsigned kind = in.byte() % 6;
        if (kind == 0) {
            section = std::string(in.piece());
            store.set_section(section);
            continue;
        }
        const std::string key(in.piece());
        const std::string_view value = in.piece();
        const bool refused = has_line_break(section) || has_line_break(key);
        if (!refused && ambiguous(section, key)) model_holds = false;
        bool written = false;
        Stored stored;
        switch (kind) {
            case 1:
                written = store.write_text(key, value);
                stored = std::string(value);
                break;
            case 2:
                stored = number_from(value);
                written = store.write_number(key, std::get<double>(stored));
                break;
            case 3:
                stored = !value.empty() && (value[0] & 1);
                written = store.write_bool(key, std::get<bool>(stored));
                break;
            case 4: {
                const trasslo::ByteBuffer bytes(value.begin(), value.end());
                const auto file = store.bytes_file_path(section, key);
                written = store.write_bytes(key, bytes);
                if (file.empty() && written) __builtin_trap();
                if (written) model.byte_files[file] = {{section, key}, std::string(value)};
                continue;
            }
            default:
                store.read_text(key, value);
                store.read_number(key);
                store.read_bytes(key);
                continue;
        }
        // The store holds its file, so every write with usable names reaches the disk.
        if (written == refused) __builtin_trap();
        if (written) model.values[{section, key}] = stored;
    }

    const std::string contents = store.contents();
    if (trasslo::fuzz::read_whole_file(path) != contents) __builtin_trap();
    if (model_holds) check(store, model);

    // A second opener cannot take the file: it reads what is there and writes nothing to disk.
    {
        trasslo::SettingsStore second;
        if (second.open(path) || second.contents() != contents) __builtin_trap();
        second.set_section("x");
        if (second.write_text("y", "z")) __builtin_trap();
    }
    if (trasslo::fuzz::read_whole_file(path) != contents) __builtin_trap();

    store.close();
    if (!store.open(path) || store.contents() != contents) __builtin_trap();
    if (model_holds) check(store, model);
    store.close();
    return 0;
}
