#include "run/export_link_addresses.h"

#include <cerrno>
#include <memory>
#include <string>

#include "base/event_pump.h"
#include "run/trace_run.h"
#include "text/url_encode.h"

namespace trasslo {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

void show_plain(ExportView& view, LocalText text) {
    MessageRequest message;
    message.text = std::move(text);
    view.show_export_message(message);
}

// An address template cut at its placeholders, kept while an engine's template stays the same:
// a million lines then cost no search and no allocation each.
struct CutTemplate {
    bool made = false;  // an empty address is a real template, so emptiness cannot mean "not cut"
    LocalText address;
    std::vector<LocalText> pieces;  // the text around each "{*}"; one more than placeholders
};

// Cuts where replace_text would replace: every "{*}" at a character boundary, left to right,
// resuming behind each one.
CutTemplate cut_template(const LocalText& address) {
    static const std::string_view placeholder = "{*}";
    CutTemplate cut;
    cut.made = true;
    cut.address = address;
    std::size_t begin = 0;
    for (;;) {
        const long at = find_text(address, placeholder, static_cast<long>(begin) + 1);
        if (at < 0) break;
        const std::size_t hit = static_cast<std::size_t>(at - 1);
        cut.pieces.emplace_back(address, begin, hit - begin);
        begin = hit + placeholder.size();
    }
    cut.pieces.emplace_back(address, begin);
    return cut;
}

// The template with every placeholder replaced by `encoded`, appended to `out`.
void append_link_address(std::string& out, const CutTemplate& cut, std::string_view encoded) {
    out += cut.pieces[0];
    for (std::size_t i = 1; i < cut.pieces.size(); ++i) {
        out += encoded;
        out += cut.pieces[i];
    }
}

}  // namespace

std::uint64_t write_link_addresses(std::FILE* out, std::string_view keyword_list_text,
                                   const std::function<std::vector<TraceEngine>()>& engines,
                                   const std::function<bool()>& keep_going, int* write_error) {
    const std::vector<LocalText> keywords = split_text(keyword_list_text, "\r\n");
    std::uint64_t count = 0;
    // Lines are gathered into blocks of about this size before they go to the file.
    static constexpr std::size_t block_size = 256 * 1024;
    std::string block;
    block.reserve(block_size + 4096);
    bool failed = false;
    // errno is taken at once: the events processed between blocks may change it.
    auto write_block = [&] {
        if (std::fwrite(block.data(), 1, block.size(), out) != block.size() && !failed) {
            failed = true;
            if (write_error) *write_error = errno;
        }
        block.clear();
    };
    std::vector<CutTemplate> cuts;
    for (const LocalText& keyword : keywords) {
        if (keep_going && !keep_going()) break;
        const std::vector<TraceEngine> snapshot = engines();
        if (cuts.size() != snapshot.size()) cuts.resize(snapshot.size());
        // Every engine of one encoding gets the same escapes: encode once per keyword.
        LocalText encoded[2];
        bool have_encoded[2] = {false, false};
        for (std::size_t k = 0; k < snapshot.size(); ++k) {
            const TraceEngine& engine = snapshot[k];
            if (engine.enabled) {
                const int utf8 = engine.encoding == engine_encoding_utf8 ? 1 : 0;
                if (!have_encoded[utf8]) {
                    encoded[utf8] = encode_keyword(keyword, utf8 == 1);
                    have_encoded[utf8] = true;
                }
                CutTemplate& cut = cuts[k];
                if (!cut.made || cut.address != engine.address) cut = cut_template(engine.address);
                append_link_address(block, cut, encoded[utf8]);
                block += "\r\n";
                ++count;
                if (block.size() >= block_size) write_block();
            }
            process_pending_events();
        }
        process_pending_events();
    }
    write_block();
    return count;
}

ExportReport export_link_addresses(ExportView& view) {
    ExportReport report;
    SaveFileRequest request;
    request.title = local("导出外链地址：");
    request.filter = local("文本文件(*.txt)|*.txt|全部文件(*.*)|*.*");
    request.default_extension = "txt";
    const std::optional<std::filesystem::path> path = view.choose_export_file(request);
    if (!path) return report;

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path->c_str(), "wb"));
    if (!file) {
        report.outcome = ExportOutcome::unwritable;
        report.error_number = errno;
        show_plain(view, local("选择的文件路径无法写出，请更换！"));
        return report;
    }

    // Only a stop asked for from now on counts; the flag of an earlier stopped run may be set.
    const std::uint64_t stops_before = trace_stop_requests();
    auto keep_going = [stops_before] { return trace_stop_requests() == stops_before; };
    int write_error = 0;
    report.count = write_link_addresses(
        file.get(), view.keyword_list_text(), [&view] { return view.engine_snapshot(); },
        keep_going, &write_error);
    report.stopped = !keep_going();
    // A full disk or a failed device shows up only here; saying "导出完成" then would report a
    // lost export as done, so the user is asked for another path instead.
    const bool write_failed = std::ferror(file.get()) != 0;
    const bool close_failed = std::fclose(file.release()) != 0;
    if (write_failed || close_failed) {
        report.outcome = ExportOutcome::unwritable;
        report.error_number = write_error != 0 ? write_error : close_failed ? errno : EIO;
        show_plain(view, local("选择的文件路径无法写出，请更换！"));
        return report;
    }
    report.outcome = ExportOutcome::written;
    show_plain(view,
               local("导出完成！共 ") + std::to_string(report.count) + local(" 条外链地址！"));
    return report;
}

}  // namespace trasslo
