#include "app/journal_visits_model.h"

#include <QDateTime>
#include <QPainter>
#include <algorithm>
#include <utility>

#include "journal/journal_html_report.h"

namespace trasslo {
namespace {

enum Column { kRound, kKeyword, kEngine, kStatus, kOutcome, kTitle, kTime, kColumns };

QString from_utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool passes(const VisitLine& line, const VisitFilter& filter) {
    using Outcome = VisitFilter::Outcome;
    switch (filter.outcome) {
        case Outcome::all:
            break;
        case Outcome::traces:
            if (!line.trace) return false;
            break;
        case Outcome::echoed:
            if (!line.trace || !line.echoed) return false;
            break;
        case Outcome::failed:
            if (line.error.empty()) return false;
            break;
    }
    if (filter.engine >= 0 && line.engine != filter.engine) return false;
    return filter.keyword.empty() || line.keyword.find(filter.keyword) != std::string::npos;
}

}  // namespace

QString visit_outcome_text(const VisitLine& line) {
    if (!line.error.empty()) {
        const std::string_view label = error_label(line.error);
        return QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size()));
    }
    if (!line.trace) return QStringLiteral("其他");
    return line.echoed ? QStringLiteral("留痕，显示关键词") : QStringLiteral("留痕");
}

std::vector<std::uint32_t> arrange_visits(const RunVisits& visits, const VisitFilter& filter,
                                          int column, Qt::SortOrder order) {
    std::vector<std::uint32_t> rows;
    rows.reserve(visits.visits.size());
    for (std::uint32_t i = 0; i < visits.visits.size(); ++i)
        if (passes(visits.visits[i], filter)) rows.push_back(i);
    if (column < 0) return rows;
    const auto& v = visits.visits;
    const auto key_less = [&](std::uint32_t a, std::uint32_t b) {
        const VisitLine &x = v[a], &y = v[b];
        switch (column) {
            case kRound:
                return x.round < y.round;
            case kKeyword:
                return x.keyword < y.keyword;
            case kEngine:
                return visits.engines[static_cast<std::size_t>(x.engine)] <
                       visits.engines[static_cast<std::size_t>(y.engine)];
            case kStatus:
                return x.status < y.status;
            case kOutcome:
                return std::tie(x.trace, x.echoed, x.error) < std::tie(y.trace, y.echoed, y.error);
            case kTitle:
                return x.title < y.title;
            default:
                return x.visited_at < y.visited_at;
        }
    };
    // Stable, so that equal keys keep the run's order either way round.
    if (order == Qt::AscendingOrder)
        std::stable_sort(rows.begin(), rows.end(), key_less);
    else
        std::stable_sort(rows.begin(), rows.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return key_less(b, a); });
    return rows;
}

void VisitTableModel::set_visits(std::shared_ptr<const RunVisits> visits) {
    beginResetModel();
    std::shared_ptr<const RunVisits> old = std::exchange(visits_, std::move(visits));
    rows_.clear();
    endResetModel();
    // A million visits take a while to free: not on the window's thread.
    if (old) std::thread([old = std::move(old)]() mutable { old.reset(); }).detach();
    rearrange();
}

void VisitTableModel::set_filter(VisitFilter filter) {
    filter_ = std::move(filter);
    rearrange();
}

void VisitTableModel::sort(int column, Qt::SortOrder order) {
    sort_column_ = column;
    sort_order_ = order;
    rearrange();
}

void VisitTableModel::rearrange() {
    if (!visits_) return;
    const std::uint64_t generation = ++generation_;
    std::shared_ptr<const RunVisits> visits = visits_;
    const VisitFilter filter = filter_;
    const int column = sort_column_;
    const Qt::SortOrder order = sort_order_;
    run_in_background<std::vector<std::uint32_t>>(
        this,
        [visits, filter, column, order] { return arrange_visits(*visits, filter, column, order); },
        [this, visits, generation](std::vector<std::uint32_t> rows) {
            if (generation != generation_ || visits != visits_) return;
            beginResetModel();
            rows_ = std::move(rows);
            endResetModel();
            emit arranged();
        });
}

int VisitTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int VisitTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant VisitTableModel::data(const QModelIndex& index, int role) const {
    if (!visits_ || !index.isValid() || static_cast<std::size_t>(index.row()) >= rows_.size())
        return {};
    const VisitLine& line = visits_->visits[rows_[static_cast<std::size_t>(index.row())]];
    if (role == Qt::TextAlignmentRole && (index.column() == kRound || index.column() == kStatus))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case kRound:
            return line.round;
        case kKeyword:
            return from_utf8(line.keyword);
        case kEngine:
            return from_utf8(visits_->engines[static_cast<std::size_t>(line.engine)]);
        case kStatus:
            return line.status;
        case kOutcome:
            return visit_outcome_text(line);
        case kTitle:
            return from_utf8(line.title);
        case kTime:
            return QDateTime::fromMSecsSinceEpoch(line.visited_at).toString(u"yyyy-MM-dd HH:mm:ss");
    }
    return {};
}

QVariant VisitTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const names[kColumns] = {"轮",   "关键词",   "引擎", "状态码",
                                                "结果", "网页标题", "时间"};
    return section >= 0 && section < kColumns ? QString::fromUtf8(names[section]) : QVariant();
}

void RateBarDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const double rate = std::clamp(index.data(Qt::UserRole).toDouble(), 0.0, 1.0);
    QRect bar = option.rect.adjusted(2, 3, -2, -3);
    bar.setWidth(static_cast<int>(bar.width() * rate));
    painter->fillRect(bar, QColor(0x82, 0xe0, 0xaa));
    QStyledItemDelegate::paint(painter, option, index);
}

}  // namespace trasslo
