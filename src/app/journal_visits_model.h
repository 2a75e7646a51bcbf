// The journal view's models: one run's visits as a table that a million rows do not slow down
// (filtering and sorting happen on a worker thread and replace the row order at once), the
// delegate that draws a trace rate as a small bar, and the helper that hands a worker's result
// back to the window's thread.
#pragma once

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QPointer>
#include <QStyledItemDelegate>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "journal/journal_overview.h"

namespace trasslo {

// Runs `work` on a thread of its own and then `done` with its result on the window's thread,
// unless `receiver` is gone by then.
template <class Result>
void run_in_background(QObject* receiver, std::function<Result()> work,
                       std::function<void(Result)> done) {
    QPointer<QObject> guard(receiver);
    std::thread([guard, work = std::move(work), done = std::move(done)]() mutable {
        auto result = std::make_shared<Result>(work());
        QCoreApplication* app = QCoreApplication::instance();
        if (!app) return;
        QMetaObject::invokeMethod(
            app,
            [guard, result, done = std::move(done)]() {
                if (guard) done(std::move(*result));
            },
            Qt::QueuedConnection);
    }).detach();
}

// Which visits the table shows.
struct VisitFilter {
    enum class Outcome { all, traces, echoed, failed } outcome = Outcome::all;
    int engine = -1;      // a place in RunVisits::engines; -1 for every engine
    std::string keyword;  // UTF-8; the visits whose keyword holds it ("" for all)
};

// The positions of the visits `filter` lets through, in the order of `column` (-1: the run's
// order), ascending or descending.
std::vector<std::uint32_t> arrange_visits(const RunVisits& visits, const VisitFilter& filter,
                                          int column, Qt::SortOrder order);

class VisitTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    using QAbstractTableModel::QAbstractTableModel;

    // Shows `visits` (all of them, in the run's order) and re-applies filter and sort.
    void set_visits(std::shared_ptr<const RunVisits> visits);
    void set_filter(VisitFilter filter);
    const RunVisits* visits() const { return visits_.get(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

  signals:
    // The rows now follow the latest filter and sort.
    void arranged();

  private:
    void rearrange();

    std::shared_ptr<const RunVisits> visits_;
    std::vector<std::uint32_t> rows_;
    VisitFilter filter_;
    int sort_column_ = -1;
    Qt::SortOrder sort_order_ = Qt::AscendingOrder;
    std::uint64_t generation_ = 0;  // a later request makes the results of earlier ones stale
};

// Draws a rate (Qt::UserRole, 0 to 1) as a bar behind its text.
class RateBarDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

// The Chinese words of a visit's outcome: "留痕，显示关键词", "超时", ...
QString visit_outcome_text(const VisitLine& line);

}  // namespace trasslo
