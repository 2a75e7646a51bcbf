#include "app/journal_window.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <atomic>
#include <cstdio>

#include "app/journal_visits_model.h"
#include "journal/journal_html_report.h"
#include "journal/journal_report.h"

namespace trasslo {
namespace {

QString from_utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString time_text(std::int64_t unix_ms) {
    return unix_ms ? QDateTime::fromMSecsSinceEpoch(unix_ms).toString(u"yyyy-MM-dd HH:mm:ss")
                   : QString();
}

QString state_text(const std::string& state) {
    if (state == "finished") return QStringLiteral("已完成");
    if (state == "stopped") return QStringLiteral("已停止");
    return QStringLiteral("进行中");
}

// A cell that sorts by its number.
QTableWidgetItem* number_item(qint64 value) {
    auto* item = new QTableWidgetItem;
    item->setData(Qt::DisplayRole, value);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QTableWidget* make_table(const QStringList& headers, const char* name) {
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()));
    table->setObjectName(QString::fromUtf8(name));
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    // Rows stay in the order they come in (the journal's) until a header is clicked.
    table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    return table;
}

}  // namespace

struct JournalWindow::Overview {
    std::string error;
    std::vector<RunOverview> runs;
    std::vector<EngineStats> engines;
    std::vector<DayCounts> days;
};

JournalWindow::JournalWindow(std::filesystem::path journal_file, QWidget* parent)
    : QWidget(parent, Qt::Window), file_(std::move(journal_file)) {
    setObjectName(QStringLiteral("留痕记录"));
    setWindowTitle(QStringLiteral("留痕记录"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(960, 600);
    build();
    reload();
}

JournalWindow::~JournalWindow() = default;

void JournalWindow::build() {
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget;
    tabs_->setObjectName(QStringLiteral("留痕记录页"));
    layout->addWidget(tabs_);

    runs_ = make_table({QStringLiteral("编号"), QStringLiteral("开始"), QStringLiteral("结束"),
                        QStringLiteral("状态"), QStringLiteral("引擎"), QStringLiteral("关键词"),
                        QStringLiteral("访问"), QStringLiteral("留痕")},
                       "留痕列表");
    tabs_->addTab(runs_, QStringLiteral("运行"));
    connect(runs_, &QTableWidget::itemSelectionChanged, this, [this] {
        const QList<QTableWidgetItem*> chosen = runs_->selectedItems();
        if (!chosen.isEmpty())
            choose_run(runs_->item(chosen.front()->row(), 0)->data(Qt::DisplayRole).toLongLong());
    });

    auto* visits_page = new QWidget;
    auto* visits_layout = new QVBoxLayout(visits_page);
    auto* filters = new QHBoxLayout;
    outcome_ = new QComboBox;
    outcome_->setObjectName(QStringLiteral("结果筛选"));
    outcome_->addItems({QStringLiteral("全部结果"), QStringLiteral("留痕"),
                        QStringLiteral("显示关键词"), QStringLiteral("失败")});
    engine_ = new QComboBox;
    engine_->setObjectName(QStringLiteral("引擎筛选"));
    engine_->addItem(QStringLiteral("全部引擎"));
    keyword_ = new QLineEdit;
    keyword_->setObjectName(QStringLiteral("关键词筛选"));
    keyword_->setPlaceholderText(QStringLiteral("关键词包含.."));
    filters->addWidget(outcome_);
    filters->addWidget(engine_);
    filters->addWidget(keyword_, 1);
    visits_layout->addLayout(filters);
    visits_model_ = new VisitTableModel(this);
    visits_view_ = new QTableView;
    visits_view_->setObjectName(QStringLiteral("访问列表"));
    visits_view_->setModel(visits_model_);
    visits_view_->setSortingEnabled(true);
    visits_view_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    visits_view_->horizontalHeader()->setStretchLastSection(true);
    visits_view_->verticalHeader()->hide();
    visits_view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    visits_view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    visits_layout->addWidget(visits_view_);
    tabs_->addTab(visits_page, QStringLiteral("访问"));
    connect(outcome_, &QComboBox::currentIndexChanged, this, &JournalWindow::apply_filter);
    connect(engine_, &QComboBox::currentIndexChanged, this, &JournalWindow::apply_filter);
    connect(keyword_, &QLineEdit::textChanged, this, &JournalWindow::apply_filter);
    connect(visits_model_, &VisitTableModel::arranged, this, [this] {
        status_->setText(QStringLiteral("第 %1 次留痕：显示 %2 / %3 次访问")
                             .arg(*chosen_run_)
                             .arg(visits_model_->rowCount())
                             .arg(visits_model_->visits()->visits.size()));
        emit visits_loaded();
    });

    engines_ =
        make_table({QStringLiteral("引擎"), QStringLiteral("地址"), QStringLiteral("访问"),
                    QStringLiteral("留痕"), QStringLiteral("显示关键词"), QStringLiteral("失败"),
                    QStringLiteral("最多的失败原因"), QStringLiteral("最近访问"),
                    QStringLiteral("最近留痕"), QStringLiteral("成功率")},
                   "引擎统计");
    engines_->setItemDelegateForColumn(9, new RateBarDelegate(engines_));
    tabs_->addTab(engines_, QStringLiteral("引擎"));
    connect(engines_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        emit engine_chosen(engines_->item(row, 0)->text(), engines_->item(row, 1)->text());
    });

    chart_ = new QChartView;
    chart_->setObjectName(QStringLiteral("每天的留痕"));
    chart_->setRenderHint(QPainter::Antialiasing);
    tabs_->addTab(chart_, QStringLiteral("图表"));

    auto* bottom = new QHBoxLayout;
    status_ = new QLabel(QStringLiteral("正在读取留痕记录.."));
    status_->setObjectName(QStringLiteral("留痕记录状态"));
    save_ = new QPushButton(QStringLiteral("保存报告.."));
    save_->setObjectName(QStringLiteral("保存报告"));
    save_->setEnabled(false);
    bottom->addWidget(status_, 1);
    bottom->addWidget(save_);
    layout->addLayout(bottom);
    connect(save_, &QPushButton::clicked, this, &JournalWindow::save_report);
}

void JournalWindow::reload() {
    status_->setText(QStringLiteral("正在读取留痕记录.."));
    const std::filesystem::path file = file_;
    run_in_background<Overview>(
        this,
        [file] {
            Overview overview;
            std::unique_ptr<Journal> journal =
                Journal::open(file, Journal::Mode::read, overview.error);
            if (!journal) return overview;
            const JournalSelection every{journal.get(), std::nullopt, {}, {}};
            auto runs = run_overviews(*journal, overview.error);
            auto engines = runs ? engine_stats({&every, 1}, overview.error) : std::nullopt;
            auto days = engines ? daily_counts({&every, 1}, overview.error) : std::nullopt;
            if (days) {
                overview.runs = std::move(*runs);
                overview.engines = std::move(*engines);
                overview.days = std::move(*days);
            }
            return overview;
        },
        [this](Overview overview) { show_overview(std::move(overview)); });
}

void JournalWindow::show_overview(Overview overview) {
    if (!overview.error.empty()) {
        status_->setText(from_utf8(overview.error));
        emit overview_loaded();
        return;
    }
    runs_->setSortingEnabled(false);
    runs_->setRowCount(static_cast<int>(overview.runs.size()));
    for (int r = 0; r < runs_->rowCount(); ++r) {
        const RunOverview& run = overview.runs[static_cast<std::size_t>(r)];
        runs_->setItem(r, 0, number_item(run.id));
        runs_->setItem(r, 1, new QTableWidgetItem(time_text(run.started_ms)));
        runs_->setItem(r, 2, new QTableWidgetItem(time_text(run.ended_ms)));
        runs_->setItem(r, 3, new QTableWidgetItem(state_text(run.state)));
        runs_->setItem(
            r, 4, new QTableWidgetItem(QStringLiteral("%1 / %2").arg(run.ticked).arg(run.engines)));
        runs_->setItem(r, 5, number_item(run.keywords));
        runs_->setItem(r, 6, number_item(run.visits));
        runs_->setItem(r, 7, number_item(run.traces));
    }
    runs_->setSortingEnabled(true);

    engines_->setSortingEnabled(false);
    engines_->setRowCount(static_cast<int>(overview.engines.size()));
    {
        const QSignalBlocker quiet(engine_);
        engine_->clear();
        engine_->addItem(QStringLiteral("全部引擎"));
    }
    for (int r = 0; r < engines_->rowCount(); ++r) {
        const EngineStats& row = overview.engines[static_cast<std::size_t>(r)];
        engines_->setItem(r, 0, new QTableWidgetItem(from_utf8(row.engine)));
        engines_->setItem(r, 1, new QTableWidgetItem(from_utf8(row.address)));
        engines_->setItem(r, 2, number_item(row.visits));
        engines_->setItem(r, 3, number_item(row.traces));
        engines_->setItem(r, 4, number_item(row.echoed));
        engines_->setItem(r, 5, number_item(row.failed));
        const std::string top = row.top_error();
        engines_->setItem(
            r, 6, new QTableWidgetItem(top.empty() ? QString() : from_utf8(error_label(top))));
        engines_->setItem(r, 7, new QTableWidgetItem(time_text(row.last_visit_ms)));
        engines_->setItem(r, 8, new QTableWidgetItem(time_text(row.last_trace_ms)));
        auto* rate = new QTableWidgetItem(from_utf8(rate_text(row.trace_rate())));
        rate->setData(Qt::UserRole, row.trace_rate());
        engines_->setItem(r, 9, rate);
    }
    engines_->setSortingEnabled(true);
    engines_->resizeColumnsToContents();

    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("每天的留痕和失败"));
    auto* traces = new QBarSet(QStringLiteral("留痕"));
    auto* failures = new QBarSet(QStringLiteral("失败"));
    traces->setColor(QColor(0x1e, 0x84, 0x49));
    failures->setColor(QColor(0xc0, 0x39, 0x2b));
    QStringList days;
    std::int64_t most = 1;
    for (const DayCounts& day : overview.days) {
        *traces << static_cast<qreal>(day.traces);
        *failures << static_cast<qreal>(day.failed);
        days << from_utf8(day.day);
        most = std::max({most, day.traces, day.failed});
    }
    auto* series = new QBarSeries;
    series->append(traces);
    series->append(failures);
    chart->addSeries(series);
    auto* x = new QBarCategoryAxis;
    x->append(days);
    auto* y = new QValueAxis;
    y->setRange(0, static_cast<qreal>(most));
    y->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    QChart* old = chart_->chart();
    chart_->setChart(chart);
    delete old;

    status_->setText(QStringLiteral("%1 次留痕").arg(overview.runs.size()));
    emit overview_loaded();
    if (runs_->rowCount() > 0)
        runs_->selectRow(0);  // the latest run
    else
        emit visits_loaded();
}

void JournalWindow::choose_run(std::int64_t run) {
    if (chosen_run_ == run && visits_model_->visits()) return;
    chosen_run_ = run;
    save_->setEnabled(true);
    status_->setText(QStringLiteral("正在读取第 %1 次留痕的访问..").arg(run));
    const std::uint64_t generation = ++visits_generation_;
    const std::filesystem::path file = file_;
    using Loaded = std::pair<std::shared_ptr<const RunVisits>, std::string>;
    run_in_background<Loaded>(
        this,
        [file, run]() -> Loaded {
            std::string error;
            std::unique_ptr<Journal> journal = Journal::open(file, Journal::Mode::read, error);
            const std::atomic<bool> go_on{false};
            std::optional<RunVisits> visits =
                journal ? run_visits(*journal, run, go_on, error) : std::nullopt;
            if (!visits) return {nullptr, error};
            return {std::make_shared<const RunVisits>(std::move(*visits)), ""};
        },
        [this, generation](Loaded loaded) {
            if (generation != visits_generation_) return;  // another run was chosen meanwhile
            if (!loaded.first) {
                status_->setText(from_utf8(loaded.second));
                emit visits_loaded();
                return;
            }
            {
                const QSignalBlocker quiet(engine_);
                engine_->clear();
                engine_->addItem(QStringLiteral("全部引擎"));
                for (const std::string& name : loaded.first->engines)
                    engine_->addItem(from_utf8(name));
            }
            VisitFilter filter;
            filter.outcome =
                static_cast<VisitFilter::Outcome>(std::max(0, outcome_->currentIndex()));
            filter.keyword = keyword_->text().toStdString();
            visits_model_->set_filter(filter);
            visits_model_->set_visits(loaded.first);
        });
}

void JournalWindow::apply_filter() {
    VisitFilter filter;
    filter.outcome = static_cast<VisitFilter::Outcome>(std::max(0, outcome_->currentIndex()));
    filter.engine = engine_->currentIndex() - 1;
    filter.keyword = keyword_->text().toStdString();
    visits_model_->set_filter(std::move(filter));
}

void JournalWindow::save_report() {
    if (!chosen_run_) return;
    std::optional<std::filesystem::path> target;
    if (chooser_) {
        target = chooser_();
    } else {
        const QString name = QFileDialog::getSaveFileName(
            this, QStringLiteral("保存留痕报告"),
            QStringLiteral("留痕报告-%1.html").arg(*chosen_run_),
            QStringLiteral("HTML 文件 (*.html *.htm);;CSV 文件 (*.csv)"));
        if (!name.isEmpty()) target = std::filesystem::path(name.toStdString());
    }
    if (!target) return;
    save_->setEnabled(false);
    status_->setText(QStringLiteral("正在保存报告.."));
    const std::filesystem::path file = file_;
    const std::int64_t run = *chosen_run_;
    const std::filesystem::path out = *target;
    run_in_background<std::string>(
        this,
        [file, run, out]() -> std::string {
            std::string error;
            std::unique_ptr<Journal> journal = Journal::open(file, Journal::Mode::read, error);
            if (!journal) return error;
            const std::string ending = ascii_lower(out.extension().string());
            if (ending != ".html" && ending != ".htm") {
                if (!write_report_file(*journal, run, ReportFormat::csv, out, error))
                    return error.empty() ? "无法写出文件 " + out.string() : error;
                return "";
            }
            std::FILE* page = std::fopen(out.c_str(), "wb");
            if (!page) return "无法写出文件 " + out.string();
            const JournalSelection chosen{journal.get(), run, {}, {}};
            const bool written = write_html_report({&chosen, 1}, {}, page, error);
            const bool closed = std::fclose(page) == 0;
            if (!written || !closed) return error.empty() ? "无法写出文件 " + out.string() : error;
            return "";
        },
        [this, out](std::string error) {
            save_->setEnabled(true);
            status_->setText(error.empty()
                                 ? QStringLiteral("报告已保存：") + from_utf8(out.string())
                                 : from_utf8(error));
            emit report_saved(error.empty());
        });
}

}  // namespace trasslo
