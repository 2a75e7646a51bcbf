// "留痕记录": the journal's window, opened from the engine list's menu. Four tabs: the runs, the
// chosen run's visits (filtered and sortable), the per-engine statistics over every run and a
// chart of traces and failures per day; and a button that saves the chosen run's report as CSV
// or HTML. Everything is read on worker threads, so a journal of any size leaves the window
// answering while it loads.
#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "journal/journal_overview.h"
#include "journal/journal_stats.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;
class QChartView;

namespace trasslo {

class VisitTableModel;

class JournalWindow : public QWidget {
    Q_OBJECT
  public:
    explicit JournalWindow(std::filesystem::path journal_file, QWidget* parent = nullptr);
    ~JournalWindow() override;

    // The save dialog; tests answer it. Nothing: cancelled.
    using FileChooser = std::function<std::optional<std::filesystem::path>()>;
    void set_file_chooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    // Reads the journal again: runs, statistics, chart, and the chosen run's visits.
    void reload();
    // Saves the chosen run's report (by the file name's ending: .html or .htm, else CSV).
    void save_report();
    // The run whose visits the 访问 tab shows; nothing before the runs are read.
    std::optional<std::int64_t> chosen_run() const { return chosen_run_; }

    QTabWidget* tabs() const { return tabs_; }
    QTableWidget* runs_table() const { return runs_; }
    QTableView* visits_view() const { return visits_view_; }
    VisitTableModel* visits_model() const { return visits_model_; }
    QTableWidget* engines_table() const { return engines_; }
    QChartView* chart_view() const { return chart_; }
    QComboBox* outcome_filter() const { return outcome_; }
    QComboBox* engine_filter() const { return engine_; }
    QLineEdit* keyword_filter() const { return keyword_; }
    QLabel* status_label() const { return status_; }

  signals:
    // The runs, statistics and chart are shown.
    void overview_loaded();
    // The chosen run's visits are shown with the current filter and sort.
    void visits_loaded();
    // A report was saved (ok) or could not be (the reason in the status line).
    void report_saved(bool ok);
    // An engine of the statistics was double-clicked: its name and address, UTF-8.
    void engine_chosen(const QString& name, const QString& address);

  private:
    struct Overview;
    void build();
    void show_overview(Overview overview);
    void choose_run(std::int64_t run);
    void apply_filter();

    std::filesystem::path file_;
    FileChooser chooser_;
    std::optional<std::int64_t> chosen_run_;
    std::uint64_t visits_generation_ = 0;
    QTabWidget* tabs_ = nullptr;
    QTableWidget* runs_ = nullptr;
    QTableView* visits_view_ = nullptr;
    VisitTableModel* visits_model_ = nullptr;
    QTableWidget* engines_ = nullptr;
    QChartView* chart_ = nullptr;
    QComboBox* outcome_ = nullptr;
    QComboBox* engine_ = nullptr;
    QLineEdit* keyword_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* save_ = nullptr;
};

}  // namespace trasslo
