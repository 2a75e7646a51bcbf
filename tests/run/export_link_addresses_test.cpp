// The link-address export into real files in a temporary folder: the lines, their order and
// bytes, the dialog and the messages, files that cannot be written, and which stop requests it
// honours.
#include "run/export_link_addresses.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "run/fake_views.h"
#include "run/trace_run.h"
#include "support/temp_dir.h"

namespace trasslo {
namespace {

using support::engine;
using support::FakeExportView;
using support::read_file_bytes;
using support::TempDir;
using support::write_file_bytes;

class ExportTest : public ::testing::Test {
  protected:
    TempDir dir;
    FakeExportView view;
    std::filesystem::path out = dir.path() / "out.txt";

    void SetUp() override { view.file = out; }
    LocalText last_message() const {
        return view.messages.empty() ? LocalText() : view.messages.back();
    }
};

LocalText done_message(int count) {
    return local("导出完成！共 ") + std::to_string(count) + local(" 条外链地址！");
}

TEST_F(ExportTest, WritesKeywordFirstThenTickedEnginesWithCrLfAfterEveryLine) {
    view.keywords = "a\r\nb";
    view.engines = {engine(true, 0, "A", "http://a.test/s?q={*}"),
                    engine(false, 0, "off", "http://off.test/?q={*}"),
                    engine(true, 1, "B", "http://b.test/s?w={*}&again={*}")};
    const ExportReport report = export_link_addresses(view);

    EXPECT_EQ(read_file_bytes(out),
              "http://a.test/s?q=a\r\n"
              "http://b.test/s?w=a&again=a\r\n"
              "http://a.test/s?q=b\r\n"
              "http://b.test/s?w=b&again=b\r\n");
    EXPECT_EQ(report.outcome, ExportOutcome::written);
    EXPECT_EQ(report.count, 4u);
    EXPECT_FALSE(report.stopped);
    EXPECT_EQ(view.messages, std::vector<LocalText>{done_message(4)});
    ASSERT_EQ(view.dialogs.size(), 1u);
    EXPECT_EQ(view.dialogs[0].title, local("导出外链地址："));
    EXPECT_EQ(view.dialogs[0].filter, local("文本文件(*.txt)|*.txt|全部文件(*.*)|*.*"));
    EXPECT_EQ(view.dialogs[0].default_extension, "txt");
    EXPECT_EQ(view.snapshots, 2);  // a fresh engine list for every keyword
}

TEST_F(ExportTest, EncodesKeywordsInEachEnginesEncoding) {
    view.keywords = local("中 文");
    view.engines = {engine(true, 0, "G", "http://g.test/?q={*}"),
                    engine(true, 1, "U", "http://u.test/?q={*}"),
                    engine(true, 5, "other codes are GBK", "http://o.test/?q={*}"),
                    engine(true, 1, "no placeholder", "http://fixed.test/")};
    export_link_addresses(view);
    EXPECT_EQ(read_file_bytes(out),
              "http://g.test/?q=%D6%D0%20%CE%C4\r\n"
              "http://u.test/?q=%E4%B8%AD%20%E6%96%87\r\n"
              "http://o.test/?q=%D6%D0%20%CE%C4\r\n"
              "http://fixed.test/\r\n");
}

TEST_F(ExportTest, FileIsLocalTextWhateverTheTemplateHolds) {
    // A template with Chinese text outside the placeholder goes out as its GBK bytes.
    view.keywords = "k";
    view.engines = {engine(true, 1, "A", local("http://a.test/搜索?q={*}"))};
    export_link_addresses(view);
    EXPECT_EQ(read_file_bytes(out), local("http://a.test/搜索?q=k") + "\r\n");
    EXPECT_EQ(read_file_bytes(out).find("\xE6\x90\x9C"), std::string::npos);  // no UTF-8
}

TEST_F(ExportTest, PlaceholderInsideADoubleByteCharacterIsNoPlaceholder) {
    // 0x81 0x7B is one GBK character: its trail byte is the "{" of what looks like "{*}".
    view.keywords = "k\r\nm";
    view.engines = {engine(true, 0, "A", "http://a.test/\x81{*}/?q={*}"),
                    engine(true, 0, "B", "{*}{*}")};
    export_link_addresses(view);
    EXPECT_EQ(read_file_bytes(out),
              "http://a.test/\x81{*}/?q=k\r\nkk\r\nhttp://a.test/\x81{*}/?q=m\r\nmm\r\n");
}

TEST_F(ExportTest, EmptyAddressGivesAnEmptyLineAndDoesNotCrash) {
    // An empty template filled is an empty line, whether it comes first or after another one.
    view.keywords = "k\r\nm";
    view.engines = {engine(true, 0, "none", ""), engine(true, 1, "A", "http://a.test/?q={*}"),
                    engine(true, 1, "B", "")};
    EXPECT_EQ(export_link_addresses(view).count, 6u);
    EXPECT_EQ(read_file_bytes(out), "\r\nhttp://a.test/?q=k\r\n\r\n\r\nhttp://a.test/?q=m\r\n\r\n");
}

TEST_F(ExportTest, EmptyLineInTheMiddleIsAnEmptyKeywordAndAFinalBreakAddsNone) {
    view.keywords = "x\r\n\r\ny\r\n";
    view.engines = {engine(true, 0, "A", "http://a.test/?q={*}&z=1")};
    EXPECT_EQ(export_link_addresses(view).count, 3u);
    EXPECT_EQ(read_file_bytes(out),
              "http://a.test/?q=x&z=1\r\n"
              "http://a.test/?q=&z=1\r\n"
              "http://a.test/?q=y&z=1\r\n");
}

TEST_F(ExportTest, NoKeywordsOrNoTickedEngineGiveAnEmptyFileAndZero) {
    write_file_bytes(out, "old contents\r\n");
    view.keywords = "";
    view.engines = {engine(true, 0, "A", "http://a.test/?q={*}")};
    EXPECT_EQ(export_link_addresses(view).count, 0u);
    EXPECT_EQ(read_file_bytes(out), "");
    EXPECT_EQ(last_message(), done_message(0));

    write_file_bytes(out, "old contents\r\n");
    view.keywords = "a\r\nb";
    view.engines = {engine(false, 0, "A", "http://a.test/?q={*}")};
    EXPECT_EQ(export_link_addresses(view).count, 0u);
    EXPECT_EQ(read_file_bytes(out), "");
    EXPECT_EQ(last_message(), done_message(0));
}

TEST_F(ExportTest, ReplacesAnExistingFileEntirely) {
    write_file_bytes(out, std::string(5000, 'z'));
    view.keywords = "a";
    view.engines = {engine(true, 0, "A", "http://a.test/?q={*}")};
    export_link_addresses(view);
    EXPECT_EQ(read_file_bytes(out), "http://a.test/?q=a\r\n");
}

TEST_F(ExportTest, CancelledDialogDoesNothing) {
    view.file.reset();
    view.keywords = "a";
    view.engines = {engine(true, 0, "A", "http://a.test/?q={*}")};
    const ExportReport report = export_link_addresses(view);
    EXPECT_EQ(report.outcome, ExportOutcome::cancelled);
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.snapshots, 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(ExportTest, PathThatCannotBeOpenedShowsTheMessageAndWritesNothing) {
    view.keywords = "a";
    view.engines = {engine(true, 0, "A", "http://a.test/?q={*}")};
    const LocalText message = local("选择的文件路径无法写出，请更换！");

    // A folder that does not exist, and a folder in place of a file.
    for (const std::filesystem::path& path : {dir.path() / "missing" / "out.txt", dir.path()}) {
        SCOPED_TRACE(path.string());
        view.file = path;
        view.messages.clear();
        const ExportReport report = export_link_addresses(view);
        EXPECT_EQ(report.outcome, ExportOutcome::unwritable);
        EXPECT_EQ(report.count, 0u);
        EXPECT_EQ(view.messages, std::vector<LocalText>{message});
    }
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
    EXPECT_EQ(view.snapshots, 0);
}

TEST_F(ExportTest, FullDiskIsReportedAsUnwritableNotAsDone) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    view.file = "/dev/full";
    view.keywords = "a\r\nb";
    view.engines = {engine(true, 0, "A", "http://a.test/?q={*}")};
    const ExportReport report = export_link_addresses(view);
    EXPECT_EQ(report.outcome, ExportOutcome::unwritable);
    EXPECT_EQ(view.messages, std::vector<LocalText>{local("选择的文件路径无法写出，请更换！")});
}

TEST_F(ExportTest, StopRequestedWhileItRunsEndsItBeforeTheNextKeyword) {
    view.keywords = "a\r\nb\r\nc";
    view.engines = {engine(true, 0, "A", "http://a.test/?q={*}"),
                    engine(true, 0, "B", "http://b.test/?q={*}")};
    // The stop click lands while the second keyword's engines are being copied.
    view.on_snapshot = [](int number) {
        if (number == 2) request_trace_stop();
    };
    const ExportReport report = export_link_addresses(view);
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(report.count, 4u);  // the keyword under way is finished, "c" is not begun
    EXPECT_EQ(read_file_bytes(out),
              "http://a.test/?q=a\r\nhttp://b.test/?q=a\r\n"
              "http://a.test/?q=b\r\nhttp://b.test/?q=b\r\n");
    EXPECT_EQ(last_message(), done_message(4));
}

TEST_F(ExportTest, StopLeftOverFromAnEarlierStoppedRunDoesNotEmptyTheExport) {
    request_trace_stop();  // as after a stopped trace run
    ASSERT_TRUE(trace_stop_flag());
    view.keywords = "a\r\nb";
    view.engines = {engine(true, 0, "A", "http://a.test/?q={*}")};
    const ExportReport report = export_link_addresses(view);
    EXPECT_FALSE(report.stopped);
    EXPECT_EQ(report.count, 2u);
    EXPECT_EQ(read_file_bytes(out), "http://a.test/?q=a\r\nhttp://a.test/?q=b\r\n");
    // A second export after that still sees every keyword.
    EXPECT_EQ(export_link_addresses(view).count, 2u);
}

TEST_F(ExportTest, TickChangesTakeEffectFromTheNextKeyword) {
    view.keywords = "a\r\nb";
    view.engines = {engine(true, 0, "A", "http://a.test/?q={*}"),
                    engine(false, 0, "B", "http://b.test/?q={*}")};
    // The user ticks B while "a" is being written: "b" is the first keyword to see it.
    view.on_snapshot = [this](int number) { view.engines[1].enabled = number >= 2; };
    export_link_addresses(view);
    EXPECT_EQ(read_file_bytes(out),
              "http://a.test/?q=a\r\nhttp://a.test/?q=b\r\nhttp://b.test/?q=b\r\n");
}

}  // namespace
}  // namespace trasslo
