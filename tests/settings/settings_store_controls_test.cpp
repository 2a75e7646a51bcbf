// Saving and restoring whole windows through an in-memory control walk: which controls are
// kept, under which keys, in which form, and what a restore leaves when nothing is stored.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "settings/settings_store.h"
#include "support/temp_dir.h"

namespace trasslo {
namespace {

using support::read_file_bytes;
using support::TempDir;

// A control whose properties are plain fields; list items are kept as one buffer.
struct FakeControl : WindowControl {
    FakeControl(std::string_view utf8_name, ControlKind k) : name_(local(utf8_name)), kind_(k) {}

    LocalText name() const override { return name_; }
    ControlKind kind() const override { return kind_; }
    LocalText tag() const override { return tag_; }
    void set_tag(std::string_view t) override { tag_ = LocalText(t); }
    LocalText text() const override { return text_; }
    void set_text(std::string_view t) override { text_ = LocalText(t); }
    bool checked() const override { return checked_; }
    void set_checked(bool c) override { checked_ = c; }
    long current_index() const override { return current_; }
    void set_current_index(long i) override { current_ = i; }
    ByteBuffer items() const override { return text_to_bytes(items_); }
    void set_items(const ByteBuffer& b) override {
        items_ = bytes_to_text(b);
        selected_.clear();
        ticked_.clear();
    }
    long item_count() const override {
        return static_cast<long>(std::count(items_.begin(), items_.end(), ';'));
    }
    std::vector<long> selected_indices() const override { return selected_; }
    void select_index(long i) override {
        if (std::find(selected_.begin(), selected_.end(), i) == selected_.end())
            selected_.push_back(i);
        std::sort(selected_.begin(), selected_.end());
    }
    std::vector<long> ticked_indices() const override { return ticked_; }
    void tick_index(long i) override {
        if (std::find(ticked_.begin(), ticked_.end(), i) == ticked_.end()) ticked_.push_back(i);
        std::sort(ticked_.begin(), ticked_.end());
    }
    double colour() const override { return colour_; }
    void set_colour(double c) override { colour_ = c; }

    bool operator==(const FakeControl& o) const {
        return tag_ == o.tag_ && text_ == o.text_ && checked_ == o.checked_ &&
               current_ == o.current_ && items_ == o.items_ && selected_ == o.selected_ &&
               ticked_ == o.ticked_ && colour_ == o.colour_;
    }

    LocalText name_;
    ControlKind kind_;
    LocalText tag_, text_, items_;  // items: "a;b;c;" (each item ends with ';')
    bool checked_ = false;
    long current_ = -1;
    std::vector<long> selected_, ticked_;
    double colour_ = 0;
};

struct FakeWindow : ControlWalk {
    FakeControl& add(std::string_view utf8_name, ControlKind kind) {
        controls.push_back(std::make_unique<FakeControl>(utf8_name, kind));
        return *controls.back();
    }
    std::size_t control_count() const override { return controls.size(); }
    WindowControl* control(std::size_t i) override {
        return i < controls.size() ? controls[i].get() : nullptr;
    }
    std::vector<std::unique_ptr<FakeControl>> controls;
};

// A window shaped like the main window, with one control of every kind, as designed.
void design(FakeWindow& w) {
    w.add("按钮开始留痕", ControlKind::button).tag_ = "mark";
    auto& keywords = w.add("编辑框关键词列表", ControlKind::edit_box);
    keywords.tag_ = local("字节集方式");
    keywords.text_ = local("关键词1\r\n关键词2");
    w.add("编辑框留痕次数", ControlKind::edit_box).text_ = "1";
    w.add("编辑框说明", ControlKind::edit_box).text_ = "line one\r\nline two";
    w.add("选择框自动", ControlKind::check_box).checked_ = true;
    w.add("单选框GBK", ControlKind::radio_button).checked_ = false;
    auto& combo = w.add("组合框编码", ControlKind::combo_box);
    combo.items_ = "GBK;UTF-8;";
    combo.current_ = 1;
    combo.text_ = "UTF-8";
    auto& list = w.add("列表框站点", ControlKind::list_box);
    list.items_ = "a;b;c;";
    list.selected_ = {0, 2};
    auto& checked = w.add("选择列表框引擎", ControlKind::checked_list_box);
    checked.items_ = "x;y;z;";
    checked.current_ = 1;
    checked.ticked_ = {1, 2};
    w.add("颜色选择器背景", ControlKind::colour_picker).colour_ = 16711935;
    w.add("标签1", ControlKind::other).text_ = "label";
}

// Changes every kept property of a window designed by `design`, and nothing else.
void change_everything(FakeWindow& w) {
    for (auto& c : w.controls) {
        switch (c->kind_) {
            case ControlKind::button:
                c->tag_ = "changed";
                break;
            case ControlKind::edit_box:
            case ControlKind::other:
                c->text_ = "changed";
                break;
            case ControlKind::check_box:
            case ControlKind::radio_button:
                c->checked_ = !c->checked_;
                break;
            case ControlKind::combo_box:
                c->current_ = 0;
                break;
            case ControlKind::list_box:
                c->items_ = "p;q;r;s;";
                c->selected_ = {3};
                break;
            case ControlKind::checked_list_box:
                c->items_ = "p;q;r;s;";
                c->current_ = 3;
                c->ticked_ = {};
                break;
            case ControlKind::colour_picker:
                c->colour_ = 1;
                break;
        }
    }
}

class WindowSettings : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(store.open(dir.path() / "settings.ini")); }
    std::string on_disk() const { return read_file_bytes(dir.path() / "settings.ini"); }
    bool has_key(std::string_view utf8_key) const {
        return on_disk().find("\r\n" + local(utf8_key) + "=") != std::string::npos;
    }

    TempDir dir;
    SettingsStore store;
    const LocalText section = local("主界面");
};

TEST_F(WindowSettings, SaveChangeRestoreGivesTheSavedWindowBack) {
    FakeWindow saved;
    design(saved);
    store.save_controls(saved, section);

    FakeWindow window;
    design(window);
    change_everything(window);
    store.restore_controls(window, section);
    for (std::size_t i = 0; i + 1 < window.controls.size(); ++i)
        EXPECT_TRUE(*window.controls[i] == *saved.controls[i]) << to_utf8(saved.controls[i]->name_);
    // The label is not a kept control: it keeps its change.
    EXPECT_EQ(window.controls.back()->text_, "changed");
}

TEST_F(WindowSettings, KeysValuesAndOrderInTheFile) {
    FakeWindow w;
    design(w);
    store.save_controls(w, section);
    const std::string file = on_disk();
    const std::string expected_lines[] = {
        local("[主界面]"),
        local("颜色选择器背景=16711935"),
        local("选择列表框引擎.打勾=1,2"),
        local("选择列表框引擎.选中=1"),
        local("列表框站点.选中=0,2"),
        local("组合框编码=1"),
        local("单选框GBK=假"),
        local("选择框自动=真"),
        local("编辑框说明=line one┊*┊line two"),
        local("编辑框留痕次数=1"),
        local("按钮开始留痕.标记=mark"),
    };
    std::string expected;
    for (const auto& line : expected_lines) expected += (expected.empty() ? "" : "\r\n") + line;
    EXPECT_EQ(file, expected);
    // Items of lists and the byte-mode edit box live in binary value files.
    const auto inibin = dir.path() / "inibin";
    EXPECT_EQ(read_file_bytes(inibin / "主界面-编辑框关键词列表.ibn"), local("关键词1\r\n关键词2"));
    EXPECT_EQ(read_file_bytes(inibin / "主界面-列表框站点.ibn"), "a;b;c;");
    EXPECT_EQ(read_file_bytes(inibin / "主界面-选择列表框引擎.ibn"), "x;y;z;");
    EXPECT_FALSE(std::filesystem::exists(inibin / "主界面-组合框编码.列表.ibn"));
}

TEST_F(WindowSettings, FirstRunLeavesTheDesignedWindow) {
    FakeWindow window, designed;
    design(window);
    design(designed);
    store.restore_controls(window, section);
    for (std::size_t i = 0; i < window.controls.size(); ++i)
        EXPECT_TRUE(*window.controls[i] == *designed.controls[i]);
    EXPECT_EQ(on_disk(), "");
}

TEST_F(WindowSettings, EmptiedFieldsComeBackAsDesigned) {
    FakeWindow w;
    design(w);
    w.controls[1]->text_.clear();  // the keyword list, a binary value
    w.controls[2]->text_.clear();  // the loop count
    store.save_controls(w, section);
    EXPECT_TRUE(has_key("编辑框留痕次数"));
    EXPECT_NE(on_disk().find(local("\r\n编辑框留痕次数=\r\n")), std::string::npos);
    EXPECT_EQ(read_file_bytes(dir.path() / "inibin" / "主界面-编辑框关键词列表.ibn"), "");

    FakeWindow fresh;
    design(fresh);
    store.restore_controls(fresh, section);
    EXPECT_EQ(fresh.controls[1]->text_, local("关键词1\r\n关键词2"));
    EXPECT_EQ(fresh.controls[2]->text_, "1");
}

// The leading word of a control's name says what kind of control it is and so which of its
// properties are kept; a name of no kind, or of a kind the control is not, keeps nothing.
TEST_F(WindowSettings, LeadingWordOfTheNameDecidesWhatIsKept) {
    struct Row {
        const char* name;
        ControlKind kind;  // what the control really is
        const char* key;   // the key it is kept under; null: not kept
    };
    const Row rows[] = {
        {"按钮甲", ControlKind::button, "按钮甲.标记"},
        {"编辑框甲", ControlKind::edit_box, "编辑框甲"},
        {"选择框甲", ControlKind::check_box, "选择框甲"},
        {"单选框甲", ControlKind::radio_button, "单选框甲"},
        {"组合框甲", ControlKind::combo_box, "组合框甲"},
        {"列表框甲", ControlKind::list_box, "列表框甲.选中"},
        {"选择列表框甲", ControlKind::checked_list_box, "选择列表框甲.打勾"},
        {"颜色选择器甲", ControlKind::colour_picker, "颜色选择器甲"},
        // A list named as the other kind of list is kept as its name says.
        {"选择列表框乙", ControlKind::list_box, "选择列表框乙.打勾"},
        {"标签甲", ControlKind::other, nullptr},
        {"树型框", ControlKind::other, nullptr},
        {"按", ControlKind::button, nullptr},  // shorter than the word
        {"选择框乙", ControlKind::edit_box, nullptr},
    };
    for (const Row& row : rows) {
        FakeWindow w;
        FakeControl& c = w.add(row.name, row.kind);
        c.tag_ = c.text_ = "t";
        c.checked_ = true;
        c.items_ = "a;b;";
        c.current_ = 1;
        c.selected_ = c.ticked_ = {1};
        c.colour_ = 5;
        const std::filesystem::path file = dir.path() / (std::string(row.name) + ".ini");
        SettingsStore own;
        ASSERT_TRUE(own.open(file));
        own.save_controls(w, section);
        const std::string saved = read_file_bytes(file);
        if (row.key) {
            EXPECT_NE(saved.find("\r\n" + local(row.key) + "="), std::string::npos)
                << row.name << ": " << to_utf8(saved);
        } else {
            EXPECT_EQ(saved, "") << row.name;
        }
    }
}

TEST_F(WindowSettings, DoNotSaveTagMustMatchExactly) {
    FakeWindow w;
    auto& excluded = w.add("编辑框一", ControlKind::edit_box);
    excluded.tag_ = local("禁止保存");
    excluded.text_ = "one";
    auto& kept = w.add("编辑框二", ControlKind::edit_box);
    kept.tag_ = local("禁止保存 ");
    kept.text_ = "two";
    auto& button = w.add("按钮三", ControlKind::button);
    button.tag_ = local("禁止保存");
    store.save_controls(w, section);
    EXPECT_FALSE(has_key("编辑框一"));
    EXPECT_TRUE(has_key("编辑框二"));
    EXPECT_FALSE(has_key("按钮三.标记"));

    // Nor is an excluded control restored from a value someone else stored.
    store.write_text(local("编辑框一"), "stored");
    excluded.text_ = "kept";
    store.restore_controls(w, section);
    EXPECT_EQ(excluded.text_, "kept");
}

TEST_F(WindowSettings, ExcludedUnnamedAndMismatchedControlsAreSkipped) {
    FakeWindow w;
    w.add("编辑框甲", ControlKind::edit_box).text_ = "a";
    w.add("", ControlKind::edit_box).text_ = "b";
    w.add("选择框乙", ControlKind::edit_box).text_ = "a check box name on an edit";
    w.add("编辑框丙", ControlKind::edit_box).text_ = "c";
    store.save_controls(w, section, {local("编辑框甲")});
    EXPECT_FALSE(has_key("编辑框甲"));
    EXPECT_FALSE(has_key("选择框乙"));
    EXPECT_TRUE(has_key("编辑框丙"));
    EXPECT_EQ(on_disk(), local("[主界面]\r\n编辑框丙=c"));
}

TEST_F(WindowSettings, ButtonTagInByteModeGoesToAFile) {
    FakeWindow w;
    w.add("按钮甲", ControlKind::button).tag_ = local("字节集方式");
    store.save_controls(w, section);
    EXPECT_FALSE(has_key("按钮甲.标记"));
    EXPECT_EQ(read_file_bytes(dir.path() / "inibin" / "主界面-按钮甲.标记.ibn"),
              local("字节集方式"));
}

TEST_F(WindowSettings, ByteModeTextEndsAtTheFirstZeroByte) {
    FakeWindow w;
    auto& edit = w.add("编辑框甲", ControlKind::edit_box);
    edit.tag_ = local("字节集方式");
    store.set_section(section);
    store.write_bytes(local("编辑框甲"), {'a', 'b', 0, 'c'});
    store.restore_controls(w, {});
    EXPECT_EQ(edit.text_, "ab");
}

TEST_F(WindowSettings, ComboListAndTextOnlyWhenAskedFor) {
    FakeWindow w;
    auto& combo = w.add("组合框甲", ControlKind::combo_box);
    combo.items_ = "a;b;c;";
    combo.current_ = 2;
    combo.text_ = "typed";
    store.save_controls(w, section);
    EXPECT_FALSE(has_key("组合框甲.内容"));
    store.save_controls(w, section, {}, true, true);
    EXPECT_TRUE(has_key("组合框甲.内容"));
    EXPECT_EQ(read_file_bytes(dir.path() / "inibin" / "主界面-组合框甲.列表.ibn"), "a;b;c;");

    combo.items_ = "z;";
    combo.current_ = 0;
    combo.text_ = "other";
    store.restore_controls(w, section);
    EXPECT_EQ(combo.items_, "z;");
    EXPECT_EQ(combo.current_, 2);
    EXPECT_EQ(combo.text_, "other");
    store.restore_controls(w, section, {}, true, true);
    EXPECT_EQ(combo.items_, "a;b;c;");
    EXPECT_EQ(combo.current_, 2);
    EXPECT_EQ(combo.text_, "typed");
}

TEST_F(WindowSettings, StoredIndicesOutsideTheListAreIgnored) {
    store.set_section(section);
    store.write_text(local("列表框甲.选中"), "-1,1,7,x,,2");
    store.write_text(local("选择列表框乙.打勾"), "0,3,99");
    FakeWindow w;
    auto& list = w.add("列表框甲", ControlKind::list_box);
    list.items_ = "a;b;c;";
    auto& checked = w.add("选择列表框乙", ControlKind::checked_list_box);
    checked.items_ = "a;b;c;d;";
    store.restore_controls(w, section);
    EXPECT_EQ(list.selected_, (std::vector<long>{1, 2}));
    EXPECT_EQ(checked.ticked_, (std::vector<long>{0, 3}));
}

TEST_F(WindowSettings, NothingStoredKeepsTicksAndSelections) {
    FakeWindow w;
    auto& list = w.add("列表框甲", ControlKind::list_box);
    list.items_ = "a;b;";
    list.selected_ = {1};
    auto& checked = w.add("选择列表框乙", ControlKind::checked_list_box);
    checked.items_ = "a;b;c;";
    checked.ticked_ = {0, 2};
    checked.current_ = 2;
    store.restore_controls(w, section);
    EXPECT_EQ(list.items_, "a;b;");
    EXPECT_EQ(list.selected_, (std::vector<long>{1}));
    EXPECT_EQ(checked.ticked_, (std::vector<long>{0, 2}));
    EXPECT_EQ(checked.current_, 2);
}

// A walk whose controls vanish as it goes, as when a pumped event closes the window.
struct VanishingWindow : FakeWindow {
    WindowControl* control(std::size_t i) override {
        return i % 2 == 0 ? FakeWindow::control(i) : nullptr;
    }
};

TEST_F(WindowSettings, ControlsThatGoAwayAreSkipped) {
    VanishingWindow w;
    w.add("编辑框甲", ControlKind::edit_box).text_ = "a";
    w.add("编辑框乙", ControlKind::edit_box).text_ = "b";
    w.add("编辑框丙", ControlKind::edit_box).text_ = "c";
    store.save_controls(w, section);
    EXPECT_EQ(on_disk(), local("[主界面]\r\n编辑框丙=c\r\n编辑框甲=a"));
    store.restore_controls(w, section);
}

TEST_F(WindowSettings, EmptySectionArgumentKeepsTheCurrentSection) {
    store.set_section(local("添加留痕引擎"));
    FakeWindow w;
    w.add("单选框GBK", ControlKind::radio_button).checked_ = true;
    store.save_controls(w, "");
    EXPECT_EQ(on_disk(), local("[添加留痕引擎]\r\n单选框GBK=真"));
}

}  // namespace
}  // namespace trasslo
