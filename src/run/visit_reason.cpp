#include "run/visit_reason.h"

#include <string>

namespace trasslo {

LocalText visit_failure_reason(const VisitOutcome& outcome) {
    if (outcome.left_trace()) return {};
    switch (outcome.error) {
        case VisitError::dns:
        case VisitError::connect:
            return local("（无法连接）");
        case VisitError::bad_response:
            return local("（网站回应有误）");
        case VisitError::too_long:
            return local("（网址过长，未访问）");
        case VisitError::timeout:
            return local("（超时）");
        case VisitError::tls:
            return local("（证书错误）");
        case VisitError::redirect_loop:
            return local("（重定向过多）");
        case VisitError::too_large:
            return local("（页面过大）");
        case VisitError::rate_limited:
            return local("（访问受限）");
        case VisitError::site_down:
            return local("（网站无法访问，已跳过）");
        case VisitError::challenge:
            return local("（验证拦截）");
        case VisitError::proxy_failed:
            return local("（代理失败）");
        case VisitError::http:
        case VisitError::none:
            // A final status outside 200..399 without a transport fault: the site's own answer.
            break;
    }
    return local("（网页错误 ") + std::to_string(outcome.status) + local("）");
}

}  // namespace trasslo
