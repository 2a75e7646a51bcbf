// The main window's side of the journal: the journal window it opens, the engine chosen there,
// and each engine's last 30 days in its tooltip.
#include <chrono>

#include "app/journal_visits_model.h"
#include "app/main_window.h"
#include "engines/engine_list.h"
#include "journal/journal_stats.h"
#include "ui/qt/qt_engine_tree.h"
#include "ui/qt/qt_text.h"

namespace trasslo {

void MainWindow::open_journal_window() {
    if (!journal_window_) {
        journal_window_ = new JournalWindow(journal_file_path(folder_), this);
        connect(journal_window_, &JournalWindow::engine_chosen, this, &MainWindow::select_engine);
    }
    journal_window_->show();
    journal_window_->raise();
    journal_window_->activateWindow();
}

void MainWindow::select_engine(const QString& name, const QString& address) {
    const std::vector<TraceEngine>& engines = engine_list().engines;
    const std::string wanted_name = name.toStdString(), wanted_address = address.toStdString();
    for (std::size_t i = 0; i < engines.size(); ++i) {
        if (to_utf8(engines[i].name) != wanted_name ||
            to_utf8(engines[i].address) != wanted_address)
            continue;
        tree_->set_current_item(static_cast<int>(i));
        on_tree_current_changed(static_cast<int>(i));
        raise();
        activateWindow();
        return;
    }
}

void MainWindow::load_recent_stats() {
    using namespace std::chrono;
    const std::int64_t since =
        duration_cast<milliseconds>((system_clock::now() - days(30)).time_since_epoch()).count();
    const std::filesystem::path file = journal_file_path(folder_);
    using Lines = std::unordered_map<LocalText, QString>;
    run_in_background<Lines>(
        this,
        [file, since] {
            Lines lines;
            std::string error;
            std::unique_ptr<Journal> journal = Journal::open(file, Journal::Mode::read, error);
            if (!journal) return lines;  // no journal yet: no line to show
            const JournalSelection recent{journal.get(), std::nullopt, since, {}};
            const auto stats = engine_stats({&recent, 1}, error);
            if (!stats) return lines;
            // One line per address, over the names it was visited under.
            std::unordered_map<LocalText, std::pair<std::int64_t, std::int64_t>> by_address;
            for (const EngineStats& row : *stats) {
                auto& [traces, visits] = by_address[local(row.address)];
                traces += row.traces;
                visits += row.visits;
            }
            for (const auto& [address, counts] : by_address)
                lines[address] =
                    QStringLiteral("最近 30 天：留痕 %1 次，成功率 %2%")
                        .arg(counts.first)
                        .arg(counts.second ? 100.0 * static_cast<double>(counts.first) /
                                                 static_cast<double>(counts.second)
                                           : 0.0,
                             0, 'f', 0);
            return lines;
        },
        [this](Lines lines) {
            recent_lines_ = std::move(lines);
            apply_check_marks();
        });
}

}  // namespace trasslo
