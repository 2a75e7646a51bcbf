#include "run/window_defaults.h"

namespace trasslo {

LocalText main_window_section() {
    return local("主界面");
}

LocalText keyword_list_control_name() {
    return local("编辑框关键词列表");
}

LocalText default_keyword_list_text() {
    return local(
        "关键词1\r\n关键词2\r\n关键词3\r\n网址1\r\n网址2\r\nwww.example.com\r\nwww.example.net\r\n"
        "2012\r\n丧尸");
}

LocalText trace_test_keyword() {
    return local("留痕测试");
}

}  // namespace trasslo
