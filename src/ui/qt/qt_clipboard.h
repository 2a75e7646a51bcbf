// The clipboard's text as local text.
#pragma once

#include "text/local_text.h"

namespace trasslo {

// The clipboard's text, empty when it holds no text.
LocalText clipboard_text();
// The same, keeping the characters GBK lacks as text/lossless_text.h does: for the keyword box,
// whose keywords reach a UTF-8 engine as they were copied.
LocalText clipboard_lossless_text();

// Puts local text on the clipboard (used by tests and nothing else in the window yet).
void set_clipboard_text(std::string_view text);

}  // namespace trasslo
