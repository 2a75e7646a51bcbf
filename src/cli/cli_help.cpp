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
    "  report    从留痕记录导出报告（CSV、JSON Lines 或 HTML）\n"
    "  stats     按引擎统计留痕记录中的访问\n"
    "  runs      列出留痕记录中的每次留痕\n"
    "  import    导入其他工具的引擎列表，不导入重复的引擎\n"
    "  dedupe    列出（加 --write 时删除）列表中重复的引擎\n"
    "  check     检测留痕引擎是否还能留下痕迹，以及不能的原因\n"
    "  where     显示设置和数据所在的目录\n"
    "\n"
    "各命令的帮助：trasslo-cli <命令> --help；版本：trasslo-cli --version\n"
    "程序目录：程序能写入自己所在的目录时，所有文件都在那里；不能时（安装的程序），设置在\n"
    "$XDG_CONFIG_HOME/trasslo（默认 ~/.config/trasslo），引擎列表、留痕记录和图标缓存在\n"
    "$XDG_DATA_HOME/trasslo（默认 ~/.local/share/trasslo）。\n"
    "退出状态：0 成功；1 留痕被取消、测试的访问没有留下痕迹或文件无法写出；\n"
    "          2 用法错误或输入文件无法读取；130 被 SIGINT/SIGTERM 停止。\n";

constexpr const char* inputs_help =
    "  --engines FILE     留痕引擎列表文件（默认：程序目录的“留痕引擎列表.txt”，\n"
    "                     没有时用内置的八个引擎）\n"
    "  --keywords FILE    关键词列表，一行一个，空行跳过；“-”读标准输入（默认：主界面保存的\n"
    "                     关键词列表，没有时用默认示例）\n";

constexpr const char* run_help =
    "用法：trasslo-cli run [--engines FILE] [--keywords FILE] [--rounds N]\n"
    "                      [--interval SECONDS] [--journal FILE] [--report FILE]\n"
    "                      [--parallel N] [--shard K/N] [--timeout SECONDS] [--safeguard PCT]\n"
    "                      [--proxy URL]... [--proxies FILE] [--proxy-rotation site|visit]\n"
    "       trasslo-cli run --resume [--journal FILE] [--report FILE] [--parallel N]\n"
    "\n"
    "对每一轮、每个关键词、每个打勾的留痕引擎访问一次留痕地址。每次访问输出一行\n"
    "“(关键词数:第几个) 【引擎名称】网页标题”，最后输出留痕完成的信息。\n"
    "标准错误是终端时在那里显示进度条。SIGINT 或 SIGTERM 停止留痕（退出状态 130）。\n"
    "没有打勾的引擎时提示写到标准错误，留痕结束，退出状态 1。\n"
    "最近 50 次访问中失败的比例达到 --safeguard 时留痕暂停，记为 halted，退出状态 3；\n"
    "用 run --resume 继续。\n"
    "\n"
    "选项：\n";

constexpr const char* run_help_tail =
    "  --rounds N         循环次数（默认 1；不是正整数时为 1）\n"
    "  --interval SECONDS 每次访问后暂停的秒数，可带小数（默认 0）\n"
    "  --timeout SECONDS  每个请求最多等待的秒数，可带小数（默认：连接 30 秒、整个请求\n"
    "                     120 秒）；超时的访问不再重试\n"
    "  --journal FILE     留痕记录（默认：程序目录的“留痕记录.db”）；每次访问都记在这里\n"
    "  --report FILE      留痕结束时把这次的访问写成报告（.csv 或 .jsonl）\n"
    "  --resume           继续留痕记录中最近一次没有完成的留痕：用当时记录的引擎、关键词、\n"
    "                     次数和间隔，只做还没有记录的访问；没有这样的留痕时退出状态 2\n"
    "  --parallel N       同时访问 N 个网站（1 到 256，默认 1）。同一网站（按公共后缀表\n"
    "                     取可注册域名）同时只有一个请求，间隔按网站计算；429/503 时\n"
    "                     退避，连续 5 次无法连接的网站跳过其余访问\n"
    "  --shard K/N        只访问分片 K 的网站（共 N 片），见 docs/scale-out.md\n"
    "  --safeguard PCT    最近 50 次访问中至少 PCT% 失败（验证拦截也算）时暂停留痕\n"
    "                     （默认 80；0 关闭）\n";

// The proxy options of every command that makes visits.
constexpr const char* proxy_help =
    "  --proxy URL        经代理访问，可以给多个：http、https、socks4、socks4a、socks5、\n"
    "                     socks5h，登录写作 用户:密码@（百分号编码）；direct 表示直连\n"
    "  --proxies FILE     代理列表文件，一行一个，# 开头为注释；格式不对的行警告后跳过\n"
    "  --proxy-rotation R site（默认）：每个网站整次固定一个代理，按首次访问轮流分配；\n"
    "                     visit：每次访问换下一个代理。代理连续两次不可用时停用 10 分钟，\n"
    "                     访问改走下一个代理；都停用时访问记为 proxy-failed，不会直连。\n"
    "                     不给代理时按 http_proxy、https_proxy、all_proxy、no_proxy 环境变量\n";

constexpr const char* report_help =
    "用法：trasslo-cli report [--journal FILE]... [--run N | --all]\n"
    "                         [--format csv|jsonl|html] [--out FILE]\n"
    "\n"
    "把留痕记录中的访问写成报告，默认是最近一次留痕的访问。CSV 为 UTF-8（带 BOM）、\n"
    "CR LF；JSON Lines 每行一个访问。列：run,round,keyword,engine,address,status,\n"
    "final_address,attempts,elapsed_ms,bytes,charset,title,echoed,noindex,error,proxy；\n"
    "给出多个 --journal 时在最后加一列 journal（记录文件名），以区分各分片的行。\n"
    "html 是一个独立的网页（不引用任何外部文件）：概要、图表（一次留痕按引擎，--all\n"
    "按天）、各引擎的统计和前 1000 次访问。\n"
    "没有编号为 N 的留痕时列出已有的编号，退出状态 2。\n"
    "\n"
    "选项：\n"
    "  --journal FILE     留痕记录（默认：程序目录的“留痕记录.db”）；可以给多个，依次读出\n"
    "  --run N            编号为 N 的留痕\n"
    "  --all              所有留痕\n"
    "  --format FORMAT    csv、jsonl 或 html（默认按 --out 的扩展名，否则 csv）\n"
    "  --out FILE         报告文件（默认：标准输出）\n";

constexpr const char* stats_help =
    "用法：trasslo-cli stats [--journal FILE]... [--since YYYY-MM-DD] [--until YYYY-MM-DD]\n"
    "                        [--format csv|jsonl] [--out FILE]\n"
    "\n"
    "按引擎（名称和地址）统计所选留痕的访问，一行一个引擎，按最近一次留痕的引擎列表的\n"
    "顺序，其余按名称。列：engine,address,visits,traces,echoed,failed,top_error,\n"
    "last_visit,last_trace,trace_rate。CSV 为 UTF-8（带 BOM）、CR LF。\n"
    "\n"
    "选项：\n"
    "  --journal FILE     留痕记录（默认：程序目录的“留痕记录.db”）；可以给多个，合起来统计\n"
    "  --since DATE       只统计这一天（本地时间）及以后开始的留痕\n"
    "  --until DATE       只统计这一天（本地时间）及以前开始的留痕\n"
    "  --format FORMAT    csv（默认）或 jsonl\n"
    "  --out FILE         统计文件（默认：标准输出）\n";

constexpr const char* runs_help =
    "用法：trasslo-cli runs [--journal FILE]\n"
    "\n"
    "列出留痕记录中的每次留痕，一行一次，以制表符分隔：编号、开始时间（本地时间，\n"
    "ISO 8601）、来源（window 或 cli）、状态（running、stopped、halted 或 finished）、\n"
    "访问次数、显示了关键词的访问次数。\n"
    "\n"
    "选项：\n"
    "  --journal FILE     留痕记录（默认：程序目录的“留痕记录.db”）\n";

constexpr const char* export_help =
    "用法：trasslo-cli export [--engines FILE] [--keywords FILE] --out FILE [--shard K/N]\n"
    "\n"
    "把每个关键词在每个打勾的留痕引擎上的地址写到文件，一行一个（GBK，CR LF）。\n"
    "文件无法写出时退出状态 1。\n"
    "\n"
    "选项：\n";

constexpr const char* export_help_tail =
    "  --out FILE         导出的文件（已有的文件会被替换）\n"
    "  --shard K/N        只导出分片 K 的网站的地址（共 N 片）\n";

constexpr const char* test_help =
    "用法：trasslo-cli test ADDRESS [--utf8] [--timeout SECONDS] [--proxy URL]...\n"
    "                           [--proxies FILE]\n"
    "\n"
    "留痕测试：用测试关键词访问留痕地址 ADDRESS（{*} 为关键词的位置），输出网页标题。\n"
    "没有留下痕迹时在标题后说明原因（如“（无法连接）”），退出状态 1。\n"
    "\n"
    "选项：\n"
    "  --utf8             关键词按 UTF-8 编码（默认 GBK）\n"
    "  --timeout SECONDS  每个请求最多等待的秒数\n";

constexpr const char* engines_help =
    "用法：trasslo-cli engines [--engines FILE]\n"
    "\n"
    "列出留痕引擎，一行一个：打勾（真/假）、网页编码、列表中显示的文字、留痕地址，\n"
    "以制表符分隔。\n"
    "\n"
    "选项：\n"
    "  --engines FILE     留痕引擎列表文件（默认：程序目录的“留痕引擎列表.txt”）\n";

constexpr const char* import_help =
    "用法：trasslo-cli import FILE... [--engines FILE] [--encoding ENCODING]\n"
    "                         [--placeholder TEXT] [--dry-run]\n"
    "\n"
    "把其他工具的引擎列表导入留痕引擎列表：新引擎打勾追加在列表末尾，列表中已有的和\n"
    "重复的不导入，列表以原子方式保存。文件可以是能识别的任何字符集，CR LF 或 LF 换行。\n"
    "每行是：单独的地址；名称和地址，以制表符、“|”或“,”分隔；本程序列表的一行\n"
    "（“真|1|名称|地址”）；或者是带表头的 CSV 文件，列名 url 或 address，可选 name、\n"
    "encoding。空行和以“#”开头的行跳过。\n"
    "关键词位置（不分大小写）{*} {keyword} {kw} {q} {query} {search} {word} %s ***\n"
    "[keyword] [kw] [query] [search] $keyword {url} [url] [encode_url] %url% 都改写为 {*}；\n"
    "没有关键词位置的行跳过。名称为空时用主机名（去掉开头的“www.”）。\n"
    "网页编码：行中给出的编码，否则地址参数 ie、oe、charset、encoding、inputencoding、\n"
    "enc、_charset_、cs 所说的 GBK 或 UTF-8，否则 --encoding。\n"
    "摘要写到标准错误。退出状态：导入了引擎或只有重复的引擎时 0；其余的行都无效时 1；\n"
    "文件无法读取时 2。\n"
    "\n"
    "选项：\n"
    "  --engines FILE     导入到这个留痕引擎列表文件（默认：程序目录的“留痕引擎列表.txt”，\n"
    "                     没有时先用内置的八个引擎）；文件不存在时新建\n"
    "  --encoding ENCODING\n"
    "                     没有编码线索的引擎的网页编码：utf-8、utf8、gbk、gb2312 或\n"
    "                     gb18030，不分大小写（默认 utf8）\n"
    "  --placeholder TEXT 另一种关键词位置的写法，可以给出多次\n"
    "  --dry-run          只输出摘要，不写文件\n";

constexpr const char* dedupe_help =
    "用法：trasslo-cli dedupe [--engines FILE] [--write]\n"
    "\n"
    "列出留痕引擎列表中重复的引擎：只在 http 或 https、开头的“www.”、主机名的大小写、\n"
    "默认端口、“#”之后的部分、参数的顺序或关键词位置的写法上不同的地址算同一个引擎。\n"
    "每组一段，一行一个引擎，以制表符分隔：保留或重复、行号、列表中显示的文字、留痕地址；\n"
    "每组保留第一个。只有加 --write 时才删除引擎。\n"
    "\n"
    "选项：\n"
    "  --engines FILE     留痕引擎列表文件（默认：程序目录的“留痕引擎列表.txt”）\n"
    "  --write            删除每组中保留的之外的引擎，并保存列表\n";

constexpr const char* check_help =
    "用法：trasslo-cli check [--engines FILE] [--keyword WORD] [--all] [--report FILE]\n"
    "                        [--untick] [--fix-encoding] [--journal FILE] [--parallel N]\n"
    "                        [--shard K/N] [--timeout SECONDS] [--proxy URL]...\n"
    "                        [--proxies FILE] [--proxy-rotation site|visit]\n"
    "\n"
    "按列表顺序检测打勾的留痕引擎（加 --all 时检测全部）：用关键词访问一次留痕地址，\n"
    "必要时换一种编码（GBK 与 UTF-8）再访问一次，并读取网站的 robots.txt（每个网站一次）。\n"
    "每个引擎输出一行，如“【引擎名称】有效”或“【引擎名称】不显示关键词（状态码 200）”，\n"
    "最后输出“检测完成：N 个有效，M 个无效”。结论依次为：无法连接、超时、证书错误、\n"
    "验证拦截、访问受限、网页错误、跳转首页、编码不符、不显示关键词、robots "
    "禁止、禁止收录，都不是时为有效。\n"
    "每次检测都记在留痕记录中。标准错误是终端时在那里显示进度条。SIGINT 或 SIGTERM\n"
    "停止检测（退出状态 130）。没有要检测的引擎时退出状态 1。\n"
    "\n"
    "选项：\n"
    "  --engines FILE     留痕引擎列表文件（默认：程序目录的“留痕引擎列表.txt”，\n"
    "                     没有时用内置的八个引擎）\n"
    "  --keyword WORD     检测用的关键词（默认：“测试”加六位随机数字）；为空时退出状态 2\n"
    "  --all              检测所有引擎，不只是打勾的\n"
    "  --report FILE      把结论写成 CSV 报告（UTF-8 带 BOM，CR LF），列：engine,address,\n"
    "                     verdict,status,final_address,charset,echoed,noindex,robots,\n"
    "                     suggested_encoding,elapsed_ms,title,proxy\n"
    "  --untick           取消勾选检测过而结论不是有效的引擎，并保存列表（其他不变）\n"
    "  --fix-encoding     把编码不符的引擎改为建议的编码，并保存列表（改过的引擎保持打勾）\n"
    "  --timeout SECONDS  每个请求最多等待的秒数，可带小数（默认 20）\n"
    "  --journal FILE     留痕记录（默认：程序目录的“留痕记录.db”）\n"
    "  --parallel N       同时检测 N 个网站（1 到 256，默认 1）。同一网站（按公共后缀表\n"
    "                     取可注册域名）同时只有一个请求，robots.txt 也算；结论与逐个检测\n"
    "                     相同，每行在检测结束时输出\n"
    "  --shard K/N        只检测分片 K 的网站的引擎（共 N 片），见 docs/scale-out.md\n";

constexpr const char* where_help =
    "用法：trasslo-cli where\n"
    "\n"
    "显示正在使用的目录和文件，一行一个，以制表符分隔：config（设置目录）、data（数据\n"
    "目录）、settings（设置文件）、engines（留痕引擎列表）、journal（留痕记录）、\n"
    "icons（图标缓存）。\n";

constexpr const char* completion_help =
    "用法：trasslo-cli completion bash\n"
    "\n"
    "输出 bash 的命令补全脚本（source 之后，trasslo-cli 的命令和选项可以按 Tab 补全）。\n";

}  // namespace

std::string help_text(Command command) {
    switch (command) {
        case Command::run:
            return std::string(run_help) + inputs_help + run_help_tail + proxy_help;
        case Command::export_addresses:
            return std::string(export_help) + inputs_help + export_help_tail;
        case Command::test:
            return std::string(test_help) + proxy_help;
        case Command::engines:
            return engines_help;
        case Command::report:
            return report_help;
        case Command::runs:
            return runs_help;
        case Command::import_engines:
            return import_help;
        case Command::dedupe:
            return dedupe_help;
        case Command::check:
            return std::string(check_help) + proxy_help;
        case Command::stats:
            return stats_help;
        case Command::where:
            return where_help;
        case Command::completion:
            return completion_help;
        case Command::none:
            break;
    }
    return program_help;
}

}  // namespace trasslo::cli
