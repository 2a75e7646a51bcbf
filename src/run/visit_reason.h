// Why a visit left no trace, in the words the status line shows after the page title:
//   "(1:2) 【name】（无法连接）"   "(1:3) 【name】404 Not Found（网页错误 404）"
#pragma once

#include "net/visit_outcome.h"
#include "text/local_text.h"

namespace trasslo {

// The bracketed reason of a visit that left no trace (VisitOutcome::left_trace), empty for one
// that did: "（无法连接）", "（超时）", "（证书错误）", "（网页错误 N）", "（重定向过多）",
// "（页面过大）", "（访问受限）" (rate-limited), "（网站无法访问，已跳过）" (site-down).
LocalText visit_failure_reason(const VisitOutcome& outcome);

}  // namespace trasslo
