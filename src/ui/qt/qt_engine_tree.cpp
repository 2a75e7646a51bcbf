#include "ui/qt/qt_engine_tree.h"

#include <QHeaderView>
#include <QPixmap>

#include "ui/qt/qt_text.h"

namespace trasslo {
namespace {

// Marks the program's own changes so the tree's signals are not taken for the user's.
class Quiet {
  public:
    explicit Quiet(int& counter) : counter_(counter) { ++counter_; }
    ~Quiet() { --counter_; }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

  private:
    int& counter_;
};

}  // namespace

QtEngineTree::QtEngineTree(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) {
                if (quiet_ > 0) return;
                emit user_current_changed(current ? indexOfTopLevelItem(current) : -1);
            });
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (quiet_ > 0 || column != 0) return;
        emit user_check_changed(indexOfTopLevelItem(item));
    });
}

QTreeWidgetItem* QtEngineTree::make_item(std::string_view text, bool ticked) const {
    auto* item = new QTreeWidgetItem;
    item->setText(0, to_qstring(text));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(0, ticked ? Qt::Checked : Qt::Unchecked);
    return item;
}

int QtEngineTree::add_item(std::string_view text) {
    Quiet quiet(quiet_);
    addTopLevelItem(make_item(text, false));
    return topLevelItemCount() - 1;
}

void QtEngineTree::add_items(std::span<const EngineTreeItem> items) {
    Quiet quiet(quiet_);
    QList<QTreeWidgetItem*> made;
    made.reserve(static_cast<qsizetype>(items.size()));
    for (const EngineTreeItem& item : items) made.append(make_item(item.text, item.ticked));
    addTopLevelItems(made);
}

void QtEngineTree::remove_item(int index) {
    Quiet quiet(quiet_);
    if (index < 0 || index >= topLevelItemCount()) return;
    delete takeTopLevelItem(index);
}

void QtEngineTree::clear_items() {
    Quiet quiet(quiet_);
    clear();
    setCurrentItem(nullptr);
}

int QtEngineTree::item_count() const {
    return topLevelItemCount();
}

LocalText QtEngineTree::item_text(int index) const {
    QTreeWidgetItem* item = topLevelItem(index);
    return item ? from_qstring(item->text(0)) : LocalText();
}

int QtEngineTree::check_state(int index) const {
    QTreeWidgetItem* item = topLevelItem(index);
    return item && item->checkState(0) == Qt::Checked ? 1 : 0;
}

void QtEngineTree::set_check_state(int index, int state) {
    Quiet quiet(quiet_);
    if (QTreeWidgetItem* item = topLevelItem(index)) {
        item->setCheckState(0, state == 1 ? Qt::Checked : Qt::Unchecked);
    }
}

int QtEngineTree::current_item() const {
    QTreeWidgetItem* item = currentItem();
    return item ? indexOfTopLevelItem(item) : -1;
}

void QtEngineTree::set_current_item(int index) {
    Quiet quiet(quiet_);
    QTreeWidgetItem* item = topLevelItem(index);
    setCurrentItem(item);
    if (item) scrollToItem(item);
}

void QtEngineTree::set_item_icon(int index, const ByteBuffer& icon_file) {
    QTreeWidgetItem* item = topLevelItem(index);
    if (!item) return;
    Quiet quiet(quiet_);
    QPixmap picture;
    if (!icon_file.empty() &&
        picture.loadFromData(icon_file.data(), static_cast<uint>(icon_file.size()))) {
        item->setIcon(0,
                      QIcon(picture.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    } else {
        item->setIcon(0, QIcon());
    }
}

bool QtEngineTree::item_has_icon(int index) const {
    QTreeWidgetItem* item = topLevelItem(index);
    return item && !item->icon(0).isNull();
}

}  // namespace trasslo
