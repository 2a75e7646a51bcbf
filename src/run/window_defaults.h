// Texts the windows are designed with that the command-line front end needs as well: the main
// window's settings section, the keyword list's name and sample lines, and the engine test's
// keyword. Kept in the core so that every front end uses the same ones.
#pragma once

#include "text/local_text.h"

namespace trasslo {

// The settings section of the main window's controls: "主界面".
LocalText main_window_section();

// The name of the keyword list control, also its key in the settings: "编辑框关键词列表".
LocalText keyword_list_control_name();

// The keyword list "编辑框关键词列表" as designed: nine sample lines joined by CR LF.
LocalText default_keyword_list_text();

// The fixed keyword the engine test ("留痕测试") visits an address with.
LocalText trace_test_keyword();

}  // namespace trasslo
