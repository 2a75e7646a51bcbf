#include "run/export_link_addresses.h"

#include <memory>
#include <string>

#include "run/trace_run.h"
#include "text/url_encode.h"
#include "ui/event_pump.h"

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

}  // namespace

std::uint64_t write_link_addresses(std::FILE* out, std::string_view keyword_list_text,
                                   const std::function<std::vector<TraceEngine>()>& engines,
                                   const std::function<bool()>& keep_going) {
    static const LocalText placeholder = "{*}";
    const std::vector<LocalText> keywords = split_text(keyword_list_text, "\r\n");
    std::uint64_t count = 0;
    LocalText line;
    for (const LocalText& keyword : keywords) {
        if (keep_going && !keep_going()) break;
        const std::vector<TraceEngine> snapshot = engines();
        // Every engine of one encoding gets the same escapes: encode once per keyword.
        LocalText encoded[2];
        bool have_encoded[2] = {false, false};
        for (const TraceEngine& engine : snapshot) {
            if (engine.enabled) {
                const int utf8 = engine.encoding == engine_encoding_utf8 ? 1 : 0;
                if (!have_encoded[utf8]) {
                    encoded[utf8] = url_encode(keyword, utf8 == 1);
                    have_encoded[utf8] = true;
                }
                line = replace_text(engine.address, placeholder, encoded[utf8]);
                line += "\r\n";
                std::fwrite(line.data(), 1, line.size(), out);
                ++count;
            }
            process_pending_events();
        }
        process_pending_events();
    }
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
        show_plain(view, local("选择的文件路径无法写出，请更换！"));
        return report;
    }
    // A large buffer: a million short lines go out in a few hundred writes.
    static constexpr std::size_t buffer_size = 1 << 20;
    std::unique_ptr<char[]> buffer(new char[buffer_size]);
    std::setvbuf(file.get(), buffer.get(), _IOFBF, buffer_size);

    // Only a stop asked for from now on counts; the flag of an earlier stopped run may be set.
    const std::uint64_t stops_before = trace_stop_requests();
    auto keep_going = [stops_before] { return trace_stop_requests() == stops_before; };
    report.count = write_link_addresses(
        file.get(), view.keyword_list_text(), [&view] { return view.engine_snapshot(); },
        keep_going);
    report.stopped = !keep_going();
    // A full disk or a failed device shows up only here; saying "导出完成" then would report a
    // lost export as done, so the user is asked for another path instead.
    const bool write_failed = std::ferror(file.get()) != 0;
    const bool close_failed = std::fclose(file.release()) != 0;
    buffer.reset();
    if (write_failed || close_failed) {
        report.outcome = ExportOutcome::unwritable;
        show_plain(view, local("选择的文件路径无法写出，请更换！"));
        return report;
    }
    report.outcome = ExportOutcome::written;
    show_plain(view,
               local("导出完成！共 ") + std::to_string(report.count) + local(" 条外链地址！"));
    return report;
}

}  // namespace trasslo
