// The engine tree "树型框" as a QTreeWidget with checkable top-level items, implementing the
// core's EngineTree. The user's own selection and checkbox changes are reported through the
// two signals; changes the program makes through EngineTree are not.
#pragma once

#include <QHash>
#include <QIcon>
#include <QTreeWidget>
#include <optional>

#include "engines/engine_tree.h"

namespace trasslo {

class QtEngineTree : public QTreeWidget, public EngineTree {
    Q_OBJECT
  public:
    explicit QtEngineTree(QWidget* parent = nullptr);

    int add_item(std::string_view text) override;
    void remove_item(int index) override;
    void clear_items() override;
    int item_count() const override;
    LocalText item_text(int index) const override;
    int check_state(int index) const override;
    void set_check_state(int index, int state) override;
    int current_item() const override;
    void set_current_item(int index) override;
    void set_item_icon(int index, const ByteBuffer& icon_file) override;
    void set_item_icon_source(int index, IconSource source) override;
    void set_all_check_states(int state) override;
    void add_items(std::span<const EngineTreeItem> items) override;

    // Marks item `index` with the outcome of its engine's last check: `tooltip` (empty: none)
    // and, for an engine that no longer leaves a trace, greyed text.
    void set_item_mark(int index, const QString& tooltip, bool greyed);
    // Whether item `index` shows a picture (tests and the screenshot check look at it).
    bool item_has_icon(int index) const;

  signals:
    // The user made item `index` current (-1: none).
    void user_current_changed(int index);
    // The user changed the checkbox of item `index`.
    void user_check_changed(int index);

  private:
    class Item;
    // The picture of an icon file, decoded on first use; null when the bytes hold none.
    QIcon decoded_icon(const QByteArray& icon_file) const;
    // The bytes of an icon file as shared by every item showing that file; empty for none.
    QByteArray shared_icon_file(const ByteBuffer& icon_file) const;
    QTreeWidgetItem* make_item(std::string_view text, bool ticked) const;

    // Above zero while the program itself changes the tree.
    int quiet_ = 0;
    // Icon files by their bytes, with their picture once decoded; bounded, as sites come and go.
    static constexpr qsizetype kMaxDecoded = 4096;
    mutable QHash<QByteArray, std::optional<QIcon>> decoded_;
};

}  // namespace trasslo
