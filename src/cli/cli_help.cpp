#include "cli/cli_help.h"

namespace trasslo::cli {
namespace {

constexpr const char* program_help =
    "用法：trasslo-cli <命令> [选项]\n"
    "\n"
    "不开窗口的留痕：按留痕引擎列表访问每个关键词的搜索地址（适合定时任务和服务器）。\n"
    "\n"
    "命令：\n"
    "  run       按关键词列表和打勾的留痕引擎留痕\n"
    "  export    导出外链地址到文本文件\n"
    "  test      访问一个留痕地址并显示网页标题\n"
    "  engines   列出留痕引擎\n"
    "  report    从留痕记录导出报告（CSV 或 JSON Lines）\n"
    "  runs      列出留痕记录中的每次留痕\n"
    "\n"
    "各命令的帮助：trasslo-cli <命令> --help\n"
    "退出状态：0 成功；1 留痕被取消、测试的访问没有留下痕迹或文件无法写出；\n"
    "          2 用法错误或输入文件无法读取；130 被 SIGINT/SIGTERM 停止。\n";

constexpr const char* inputs_help =
    "  --engines FILE     留痕引擎列表文件（默认：程序目录的“留痕引擎列表.txt”，\n"
    "                     没有时用内置的八个引擎）\n"
    "  --keywords FILE    关键词列表，一行一个；“-”读标准输入（默认：主界面保存的\n"
    "                     关键词列表，没有时用默认示例）\n";

constexpr const char* run_help =
    "用法：trasslo-cli run [--engines FILE] [--keywords FILE] [--rounds N]\n"
    "                      [--interval SECONDS] [--journal FILE] [--report FILE]\n"
    "       trasslo-cli run --resume [--journal FILE] [--report FILE]\n"
    "\n"
    "对每一轮、每个关键词、每个打勾的留痕引擎访问一次留痕地址。每次访问输出一行\n"
    "“(关键词数:第几个) 【引擎名称】网页标题”，最后输出留痕完成的信息。\n"
    "标准错误是终端时在那里显示进度条。SIGINT 或 SIGTERM 停止留痕（退出状态 130）。\n"
    "没有打勾的引擎时提示写到标准错误，留痕结束，退出状态 1。\n"
    "\n"
    "选项：\n";

constexpr const char* run_help_tail =
    "  --rounds N         循环次数（默认 1；不是正整数时为 1）\n"
    "  --interval SECONDS 每次访问后暂停的秒数，可带小数（默认 0）\n"
    "  --journal FILE     留痕记录（默认：程序目录的“留痕记录.db”）；每次访问都记在这里\n"
    "  --report FILE      留痕结束时把这次的访问写成报告（.csv 或 .jsonl）\n"
    "  --resume           继续留痕记录中最近一次没有完成的留痕：用当时记录的引擎、关键词、\n"
    "                     次数和间隔，只做还没有记录的访问；没有这样的留痕时退出状态 2\n";

constexpr const char* report_help =
    "用法：trasslo-cli report [--journal FILE]... [--run N | --all] [--format csv|jsonl]\n"
    "                         [--out FILE]\n"
    "\n"
    "把留痕记录中的访问写成报告，默认是最近一次留痕的访问。CSV 为 UTF-8（带 BOM）、\n"
    "CR LF；JSON Lines 每行一个访问。列：run,round,keyword,engine,address,status,\n"
    "final_address,attempts,elapsed_ms,bytes,charset,title,echoed,noindex,error。\n"
    "没有编号为 N 的留痕时列出已有的编号，退出状态 2。\n"
    "\n"
    "选项：\n"
    "  --journal FILE     留痕记录（默认：程序目录的“留痕记录.db”）；可以给多个，依次读出\n"
    "  --run N            编号为 N 的留痕\n"
    "  --all              所有留痕\n"
    "  --format FORMAT    csv（默认）或 jsonl\n"
    "  --out FILE         报告文件（默认：标准输出）\n";

constexpr const char* runs_help =
    "用法：trasslo-cli runs [--journal FILE]\n"
    "\n"
    "列出留痕记录中的每次留痕，一行一次，以制表符分隔：编号、开始时间（本地时间，\n"
    "ISO 8601）、来源（window 或 cli）、状态（running、stopped 或 finished）、\n"
    "访问次数、显示了关键词的访问次数。\n"
    "\n"
    "选项：\n"
    "  --journal FILE     留痕记录（默认：程序目录的“留痕记录.db”）\n";

constexpr const char* export_help =
    "用法：trasslo-cli export [--engines FILE] [--keywords FILE] --out FILE\n"
    "\n"
    "把每个关键词在每个打勾的留痕引擎上的地址写到文件，一行一个（GBK，CR LF）。\n"
    "文件无法写出时退出状态 1。\n"
    "\n"
    "选项：\n";

constexpr const char* export_help_tail = "  --out FILE         导出的文件（已有的文件会被替换）\n";

constexpr const char* test_help =
    "用法：trasslo-cli test ADDRESS [--utf8]\n"
    "\n"
    "留痕测试：用测试关键词访问留痕地址 ADDRESS（{*} 为关键词的位置），输出网页标题。\n"
    "没有留下痕迹时在标题后说明原因（如“（无法连接）”），退出状态 1。\n"
    "\n"
    "选项：\n"
    "  --utf8             关键词按 UTF-8 编码（默认 GBK）\n";

constexpr const char* engines_help =
    "用法：trasslo-cli engines [--engines FILE]\n"
    "\n"
    "列出留痕引擎，一行一个：打勾（真/假）、网页编码、列表中显示的文字、留痕地址，\n"
    "以制表符分隔。\n"
    "\n"
    "选项：\n"
    "  --engines FILE     留痕引擎列表文件（默认：程序目录的“留痕引擎列表.txt”）\n";

}  // namespace

std::string help_text(Command command) {
    switch (command) {
        case Command::run:
            return std::string(run_help) + inputs_help + run_help_tail;
        case Command::export_addresses:
            return std::string(export_help) + inputs_help + export_help_tail;
        case Command::test:
            return test_help;
        case Command::engines:
            return engines_help;
        case Command::report:
            return report_help;
        case Command::runs:
            return runs_help;
        case Command::none:
            break;
    }
    return program_help;
}

}  // namespace trasslo::cli
