#include "ui/qt/qt_engine_tree.h"

#include <QHeaderView>
#include <QPixmap>
#include <QSignalBlocker>
#include <cstring>

#include "icons/default_icon.h"
#include "ui/qt/qt_image.h"
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

// The format an icon file announces in its first bytes, or null to let the decoder probe. Naming
// it spares a probe of every image plugin per file, which dominates a start-up over many sites.
const char* announced_format(const QByteArray& b) {
    const auto starts = [&b](const char* magic, std::size_t n) {
        return static_cast<std::size_t>(b.size()) >= n && std::memcmp(b.constData(), magic, n) == 0;
    };
    if (starts("\0\0\1\0", 4)) return "ICO";
    if (starts("\x89PNG\r\n\x1a\n", 8)) return "PNG";
    if (starts("GIF8", 4)) return "GIF";
    if (starts("\xFF\xD8\xFF", 3)) return "JPG";
    if (starts("BM", 2)) return "BMP";
    return nullptr;
}

QIcon decode_icon(const QByteArray& bytes) {
    const char* format = announced_format(bytes);
    QPixmap picture;
    if (format != nullptr) picture = read_pixmap(bytes, format);
    // A file that is not what it starts like still gets the decoder's own guess.
    if (picture.isNull() && !picture.loadFromData(reinterpret_cast<const uchar*>(bytes.constData()),
                                                  static_cast<uint>(bytes.size()))) {
        return QIcon();
    }
    return QIcon(picture.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

}  // namespace

// An engine item keeps the bytes of its icon file, or what produces them, and has them read and
// decoded when its picture is first asked for: of a long list only the rows on screen are ever
// drawn.
class QtEngineTree::Item : public QTreeWidgetItem {
  public:
    void set_icon_file(QByteArray file) {
        icon_file_ = std::move(file);
        source_ = nullptr;
        changed();
    }
    void set_icon_source(IconSource source) {
        icon_file_.clear();
        source_ = std::move(source);
        changed();
    }
    QVariant data(int column, int role) const override {
        if (column != 0 || role != Qt::DecorationRole) return QTreeWidgetItem::data(column, role);
        auto* tree = static_cast<QtEngineTree*>(treeWidget());
        if (tree == nullptr) return QVariant();
        asked_ = true;
        if (source_) {
            const IconSource source = std::move(source_);
            source_ = nullptr;
            icon_file_ = tree->shared_icon_file(source());
        }
        if (icon_file_.isEmpty()) return QVariant();
        QIcon icon = tree->decoded_icon(icon_file_);
        // A file that holds no picture (a site's error text kept as its icon) is drawn as the
        // default icon, so that every row keeps its icon column.
        if (icon.isNull()) icon = tree->decoded_icon(tree->shared_icon_file(default_icon_bytes()));
        return icon.isNull() ? QVariant() : QVariant(icon);
    }

  private:
    // A view that never asked for the picture holds nothing to redraw; telling it costs a
    // model signal per item, which over a long list at start-up adds up.
    void changed() {
        if (asked_) emitDataChanged();
    }

    mutable QByteArray icon_file_;
    mutable IconSource source_;
    mutable bool asked_ = false;
};

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
    auto* item = new Item;
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

void QtEngineTree::set_all_check_states(int state) {
    // One repaint for the whole list: each item's change would otherwise reach the view on
    // its own, which for a hundred thousand items freezes the window for seconds.
    Quiet quiet(quiet_);
    const Qt::CheckState wanted = state == 1 ? Qt::Checked : Qt::Unchecked;
    {
        const QSignalBlocker block(model());
        for (int i = 0, count = topLevelItemCount(); i < count; ++i) {
            QTreeWidgetItem* item = topLevelItem(i);
            if (item->checkState(0) != wanted) item->setCheckState(0, wanted);
        }
    }
    viewport()->update();
}

void QtEngineTree::set_item_mark(int index, const QString& tooltip, bool greyed) {
    QTreeWidgetItem* item = topLevelItem(index);
    if (!item) return;
    Quiet quiet(quiet_);
    item->setToolTip(0, tooltip);
    if (greyed)
        item->setForeground(0, palette().brush(QPalette::Disabled, QPalette::Text));
    else
        item->setData(0, Qt::ForegroundRole, QVariant());
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
    auto* item = static_cast<Item*>(topLevelItem(index));
    if (!item) return;
    Quiet quiet(quiet_);
    item->set_icon_file(shared_icon_file(icon_file));
}

void QtEngineTree::set_item_icon_source(int index, IconSource source) {
    auto* item = static_cast<Item*>(topLevelItem(index));
    if (!item) return;
    Quiet quiet(quiet_);
    item->set_icon_source(std::move(source));
}

QByteArray QtEngineTree::shared_icon_file(const ByteBuffer& icon_file) const {
    if (icon_file.empty()) return QByteArray();
    // Items showing the same file (the default icon, engines of one site) share its bytes and
    // its decoded picture.
    QByteArray key(reinterpret_cast<const char*>(icon_file.data()),
                   static_cast<qsizetype>(icon_file.size()));
    auto found = decoded_.constFind(key);
    if (found == decoded_.constEnd()) {
        if (decoded_.size() >= kMaxDecoded) decoded_.clear();
        found = decoded_.insert(key, std::nullopt);
    }
    return found.key();
}

QIcon QtEngineTree::decoded_icon(const QByteArray& icon_file) const {
    auto found = decoded_.find(icon_file);
    if (found == decoded_.end()) {
        if (decoded_.size() >= kMaxDecoded) decoded_.clear();
        found = decoded_.insert(icon_file, std::nullopt);
    }
    if (!found.value()) found.value() = decode_icon(icon_file);
    return *found.value();
}

bool QtEngineTree::item_has_icon(int index) const {
    QTreeWidgetItem* item = topLevelItem(index);
    return item && !item->icon(0).isNull();
}

}  // namespace trasslo
