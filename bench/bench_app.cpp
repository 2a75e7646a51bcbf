// The window program's start-up and its liveness, on the offscreen platform.
//
// Start-up: a process that builds the main window over 1,000 engines with every site icon
// cached and shows it, against a process that shows an empty Qt window; both are this same
// binary started afresh, timed from spawn to the first paint of the window (the child ends the
// moment its window has painted). Printed as a ratio of medians.
//
// The journal window: the same timer while the window opens on a journal of 1,000,000 visits
// and shows them, and while it sorts them (goal: no gap over 25 ms). `bench_app --journal` runs
// this part alone.
//
// Liveness: a 5 ms timer runs while the window does long work inside a click handler; the
// largest gap between two of its ticks is the longest time the window could not answer. Measured
// during a run against a slow local server, an export of 1,000,000 addresses and a save.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/journal_visits_model.h"
#include "app/journal_window.h"
#include "app/main_window.h"
#include "base/message_box.h"
#include "engines/engine_list.h"
#include "engines/engine_list_file.h"
#include "icons/default_icon.h"
#include "icons/icon_cache.h"
#include "icons/site_icons.h"
#include "journal/journal.h"
#include "settings/settings_store.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"
#include "ui/qt/qt_process_hooks.h"

extern char** environ;

namespace trasslo {
namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Writes an engine list of `count` engines on hosts of their own (or on `hosts` hosts, taken in
// turn), each host with a cached icon.
void fill_program_folder(const std::filesystem::path& folder, int count,
                         const std::string& base = "", int hosts = 0) {
    std::vector<TraceEngine> engines;
    engines.reserve(static_cast<std::size_t>(count));
    std::filesystem::create_directories(icon_cache_folder(folder));
    if (hosts <= 0) hosts = count;
    for (int i = 0; i < count; ++i) {
        const int h = i % hosts;
        std::string address = base.empty() ? "http://s" + std::to_string(h) + ".example" +
                                                 std::to_string(h % 50) + ".com.cn/s?q={*}&st=0"
                                           : base + "/s" + std::to_string(i) + "?q={*}";
        if (hosts < count) address += "&n=" + std::to_string(i);
        TraceEngine engine{true, i % 2, local("测试引擎") + std::to_string(i), address};
        // Each site its own picture, as in a real cache: one pixel tells them apart.
        if (i < hosts) {
            ByteBuffer icon = default_icon_bytes();
            icon[62] = static_cast<std::uint8_t>(i & 0xFF);
            icon[63] = static_cast<std::uint8_t>((i >> 8) & 0xFF);
            write_icon_file(icon_file_path(folder, engine.address), icon);
        }
        engines.push_back(std::move(engine));
    }
    write_engine_list_file(folder, engines);
}

// Processes events until `widget` has had its first paint.
class FirstPaint : public QObject {
  public:
    explicit FirstPaint(QWidget& widget) { widget.installEventFilter(this); }
    void wait() {
        while (!painted_) QApplication::processEvents(QEventLoop::AllEvents, 5);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted_ = true;
        return QObject::eventFilter(watched, event);
    }

  private:
    bool painted_ = false;
};

// The child processes: start as the program does, show, and end at the first paint.
[[noreturn]] void child(int argc, char** argv, const char* mode, const char* folder) {
    QApplication app(argc, argv);
    if (std::strcmp(mode, "empty") == 0 || std::strcmp(mode, "label") == 0) {
        QWidget window;
        window.setGeometry(50, 50, 740, 577);
        // The second reference: the least a window with Chinese text costs (the font set-up).
        if (std::strcmp(mode, "label") == 0) {
            (new QLabel(QStringLiteral("留痕引擎列表："), &window))->move(10, 10);
        }
        FirstPaint painted(window);
        window.show();
        painted.wait();
        std::_Exit(0);
    }
    settings_store().open(settings_file_path(folder));
    QtProcessHooks hooks;
    MainWindow window(folder);
    FirstPaint painted(window);
    window.show();
    painted.wait();
    std::_Exit(0);
}

// Wall-clock and processor time (user + system, all threads) of one child process.
struct ChildTimes {
    double wall_ms = 0;
    double cpu_ms = 0;
};

ChildTimes spawn_child(const char* self, const char* mode, const std::string& folder) {
    const char* args[] = {self, "--child", mode, folder.c_str(), nullptr};
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, self, nullptr, nullptr, const_cast<char**>(args), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", self);
        std::exit(1);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    ChildTimes times;
    times.wall_ms = ms_since(start);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    times.cpu_ms = ms(usage.ru_utime) + ms(usage.ru_stime);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "child %s failed\n", mode);
        std::exit(1);
    }
    return times;
}

void bench_start_up(const char* self) {
    support::TempDir dir;
    fill_program_folder(dir.path(), 1000);
    const int rounds = 15;
    const char* const modes[] = {"empty", "label", "main"};
    std::vector<double> wall[3], cpu[3];
    for (const char* mode : modes) spawn_child(self, mode, dir.str());  // warms the file cache
    for (int i = 0; i < rounds; ++i) {
        for (int m = 0; m < 3; ++m) {
            const ChildTimes t = spawn_child(self, modes[m], dir.str());
            wall[m].push_back(t.wall_ms);
            cpu[m].push_back(t.cpu_ms);
        }
    }
    double w[3], c[3];
    for (int m = 0; m < 3; ++m) {
        w[m] = median(wall[m]);
        c[m] = median(cpu[m]);
    }
    std::printf(
        "start-up to the painted window, median of %d processes each (wall / processor):\n"
        "  empty Qt window                            %7.1f / %6.1f ms\n"
        "  Qt window with one Chinese label           %7.1f / %6.1f ms\n"
        "  main window, 1,000 engines, icons cached   %7.1f / %6.1f ms\n"
        "  ratio to the empty window %.2f wall, %.2f processor (goal at most 1.5)\n"
        "  ratio to the labelled window %.2f wall, %.2f processor\n",
        rounds, w[0], c[0], w[1], c[1], w[2], c[2], w[2] / w[0], c[2] / c[0], w[2] / w[1],
        c[2] / c[1]);

    // A long list: 100,000 engines on the same 1,000 cached sites, against the 1,000 above.
    support::TempDir large;
    fill_program_folder(large.path(), 100000, "", 1000);
    spawn_child(self, "main", large.str());
    std::vector<double> large_wall, large_cpu;
    for (int i = 0; i < 5; ++i) {
        const ChildTimes t = spawn_child(self, "main", large.str());
        large_wall.push_back(t.wall_ms);
        large_cpu.push_back(t.cpu_ms);
    }
    const double lw = median(large_wall);
    const double lc = median(large_cpu);
    std::printf(
        "  main window, 100,000 engines, icons cached %7.1f / %6.1f ms\n"
        "  ratio to the window with 1,000 engines %.2f wall, %.2f processor (goal at most 5)\n",
        lw, lc, lw / w[2], lc / c[2]);
}

// The largest gap between ticks of a 5 ms timer while `work` runs on this thread.
template <typename Work>
double longest_stall(Work&& work) {
    Clock::time_point last = Clock::now();
    double longest = 0;
    auto tick = [&] {
        const Clock::time_point now = Clock::now();
        longest = std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    };
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, tick);
    timer.start();
    last = Clock::now();
    work();
    tick();
    return longest;
}

void bench_stalls() {
    QtProcessHooks hooks;
    ProcessHooksScope::current()->set_message_box([](const MessageRequest& request) {
        return request.buttons == MessageButtons::yes_no ? MessageAnswer::yes : MessageAnswer::ok;
    });

    // A site that takes 300 ms over each search page.
    support::HttpTestServer slow(
        [](support::Connection& connection, const support::RecordedRequest&) {
            if (!connection.hold_for(std::chrono::milliseconds(300))) return;
            connection.send(support::http_reply(
                200, "OK", "<html><head><title>Slow - Search</title></head></html>",
                {"Content-Type: text/html; charset=utf-8"}));
        });

    {
        support::TempDir dir;
        fill_program_folder(dir.path(), 3, slow.url(""));
        settings_store().open(settings_file_path(dir.path()));
        MainWindow window(dir.path());
        window.show();
        QApplication::processEvents();
        window.findChild<QPlainTextEdit*>(QStringLiteral("编辑框关键词列表"))
            ->setPlainText("a\nb\nc");
        const Clock::time_point start = Clock::now();
        const double stall = longest_stall([&] { window.on_start_clicked(); });
        std::printf(
            "longest stall of the event loop (5 ms timer), goal at most 25 ms:\n"
            "  run of 9 visits at 300 ms each (%.0f ms)  %6.1f ms\n",
            ms_since(start), stall);
        window.set_process_ender([](int) {});
        window.hide();
        settings_store().close();
    }

    support::TempDir dir;
    fill_program_folder(dir.path(), 1000, slow.url(""));
    settings_store().open(settings_file_path(dir.path()));
    MainWindow window(dir.path());
    window.show();
    QApplication::processEvents();
    QString keywords;
    for (int i = 0; i < 1000; ++i) keywords += QStringLiteral("关键词%1\n").arg(i);
    window.findChild<QPlainTextEdit*>(QStringLiteral("编辑框关键词列表"))->setPlainText(keywords);
    const std::filesystem::path out = dir.path() / "links.txt";
    window.set_file_chooser([&](const SaveFileRequest&) { return std::optional(out); });

    Clock::time_point start = Clock::now();
    double stall = longest_stall([&] { window.on_export_clicked(); });
    const std::string written = support::read_file_bytes(out);
    std::printf("  export of %td addresses (%.0f ms)   %6.1f ms\n",
                std::count(written.begin(), written.end(), '\n'), ms_since(start), stall);

    start = Clock::now();
    stall = longest_stall([&] { window.save_main_window(); });
    std::printf("  save of the window and 1,000 engines (%.0f ms) %6.1f ms\n", ms_since(start),
                stall);
    settings_store().close();
    window.set_process_ender([](int) {});
    window.hide();

    // A window over 100,000 engines: ticking them all, importing a list of 10,000 more and
    // saving.
    support::TempDir large;
    fill_program_folder(large.path(), 100000, "", 1000);
    settings_store().open(settings_file_path(large.path()));
    MainWindow big(large.path());
    big.show();
    QApplication::processEvents();
    start = Clock::now();
    stall =
        longest_stall([&] { big.findChild<QPushButton*>(QStringLiteral("按钮不选"))->click(); });
    std::printf("  100,000 engines: untick all (%.0f ms)        %6.1f ms\n", ms_since(start),
                stall);
    std::string lines;
    for (int i = 0; i < 10000; ++i)
        lines += "http://s" + std::to_string(i % 1000) + ".example" +
                 std::to_string(i % 1000 % 50) + ".com.cn/i?kw=%s&n=" + std::to_string(i) +
                 "\n";  // sites whose icons are cached: no worker goes out
    const std::filesystem::path list = large.path() / "import.txt";
    support::write_file_bytes(list, lines);
    big.set_open_files_chooser([&] { return std::vector<std::filesystem::path>{list}; });
    start = Clock::now();
    stall = longest_stall([&] { big.import_engine_lists(); });
    std::printf("  100,000 engines: import of 10,000 (%.0f ms)   %6.1f ms\n", ms_since(start),
                stall);
    start = Clock::now();
    stall = longest_stall([&] { big.save_main_window(); });
    std::printf("  100,000 engines: save (%.0f ms)              %6.1f ms\n", ms_since(start),
                stall);
    big.set_process_ender([](int) {});
    big.hide();
    settings_store().close();
}

// Waits, pumping events, until `signal` of `sender` fires.
template <typename Sender, typename Signal>
void wait_for(Sender* sender, Signal signal) {
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, &QEventLoop::quit);
    loop.exec();
}

void bench_journal_window(long visits) {
    support::TempDir dir;
    const std::filesystem::path file = dir.path() / "j.db";
    {
        std::string error;
        auto journal = Journal::open(file, Journal::Mode::write, error);
        if (!journal) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return;
        }
        RunInputs inputs;
        for (int e = 0; e < 20; ++e)
            inputs.engines.push_back(TraceEngine{true, 0, local("引擎") + std::to_string(e),
                                                 "http://e" + std::to_string(e) + ".test/?q={*}"});
        const std::int64_t run = *journal->begin_run(RunSource::cli, inputs);
        std::vector<VisitRow> rows;
        const std::int64_t day = 86400000, first = 1700000000000;
        for (long v = 0; v < visits; ++v) {
            VisitRow row;
            row.run = run;
            row.round = static_cast<int>(v / 20000 + 1);
            row.keyword_index = static_cast<int>(v / 20 % 1000 + 1);
            row.engine_index = static_cast<int>(v % 20 + 1);
            row.keyword = "关键词" + std::to_string(v / 20 % 1000);
            row.engine = "引擎" + std::to_string(v % 20);
            row.address_template = "http://e" + std::to_string(v % 20) + ".test/?q={*}";
            row.status = v % 7 ? 200 : 0;
            row.error = v % 7 ? "" : "timeout";
            row.echoed = v % 3 == 0;
            row.title = row.keyword + "_搜索结果";
            row.visited_at = first + v * (30 * day / visits);
            rows.push_back(std::move(row));
            if (rows.size() == 100000) {
                journal->record_visit_rows(rows);
                rows.clear();
            }
        }
        if (!rows.empty()) journal->record_visit_rows(rows);
    }
    // Building and showing the window is the same work for any journal; the reading behind it
    // is what a large journal adds.
    Clock::time_point start = Clock::now();
    auto* window = new JournalWindow(file);
    window->show();
    QApplication::processEvents();  // its first paint
    const double built = ms_since(start);
    double stall = longest_stall([&] { wait_for(window, &JournalWindow::visits_loaded); });
    std::printf(
        "  journal window: built, shown and painted in %.1f ms (the same for any journal)\n",
        built);
    std::printf("  journal window over %ld visits: read and shown (%.0f ms)  %6.1f ms\n", visits,
                ms_since(start), stall);
    start = Clock::now();
    stall = longest_stall([&] {
        window->visits_model()->sort(1, Qt::DescendingOrder);
        wait_for(window->visits_model(), &VisitTableModel::arranged);
    });
    std::printf("  journal window: sort them by keyword (%.0f ms)      %6.1f ms\n", ms_since(start),
                stall);
    delete window;
}

}  // namespace
}  // namespace trasslo

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc >= 3 && std::strcmp(argv[1], "--prepare") == 0) {
        // A program folder like the one the start-up is measured on, to look at by hand.
        trasslo::fill_program_folder(argv[2], 1000);
        return 0;
    }
    if (argc >= 4 && std::strcmp(argv[1], "--child") == 0) {
        trasslo::child(argc, argv, argv[2], argv[3]);
    }
    if (argc >= 2 && std::strcmp(argv[1], "--journal") == 0) {
        QApplication app(argc, argv);
        std::printf("longest stall of the event loop (5 ms timer), goal at most 25 ms:\n");
        trasslo::bench_journal_window(argc >= 3 ? std::atol(argv[2]) : 1000000);
        return 0;
    }
    std::error_code error;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", error).string();
    trasslo::bench_start_up(self.c_str());
    {
        QApplication app(argc, argv);
        trasslo::bench_stalls();
        trasslo::bench_journal_window(1000000);
        trasslo::stop_icon_downloads(std::chrono::seconds(5));
    }
    return 0;
}
