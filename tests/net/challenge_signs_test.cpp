// Challenge pages: the sites' CAPTCHA, browser-check and firewall pages, as a visit meets them
// on a scripted site, and the table's signs one by one, with a user's file added.
#include "net/challenge_signs.h"

#include <gtest/gtest.h>

#include "run/page_visit.h"
#include "run/visit_reason.h"
#include "support/http_test_server.h"

namespace trasslo {
namespace {

using support::Connection;
using support::http_reply;
using support::RecordedRequest;

std::string page(const std::string& title, const std::string& body = "") {
    return "<html><head><title>" + title + "</title></head><body>" + body + "</body></html>";
}

void answer(Connection& c, const RecordedRequest& request) {
    const std::string path = request.target.substr(0, request.target.find('?'));
    const std::string utf8 = "Content-Type: text/html; charset=utf-8";
    if (path == "/baidu") {
        c.send(http_reply(200, "OK", page("百度安全验证", "请完成下方验证后继续操作"), {utf8}));
    } else if (path == "/cf") {
        c.send(http_reply(403, "Forbidden", page("Just a moment..."),
                          {"CF-Mitigated: challenge", utf8}));
    } else if (path == "/cf503") {
        c.send(http_reply(503, "Unavailable", page("wait"), {"cf-mitigated: challenge"}));
    } else if (path == "/moved") {
        c.send(http_reply(302, "Found", "", {"Location: /verify?from=s"}));
    } else if (path == "/verify") {
        c.send(http_reply(200, "OK", page("安全验证"), {utf8}));
    } else if (path == "/js") {
        c.send(
            http_reply(521, "", page("x", "<script>document.cookie='__jsl_clearance=1'</script>")));
    } else if (path == "/echo") {
        c.send(http_reply(200, "OK", page("验证码 - 搜索", "结果：关键词"), {utf8}));
    } else if (path == "/forbidden") {
        c.send(http_reply(403, "Forbidden", page("Forbidden"), {utf8}));
    } else if (path == "/plain521") {
        c.send(http_reply(521, "", page("down")));
    } else {
        c.send(http_reply(200, "OK", page("结果", "关键词"), {utf8}));
    }
}

struct VisitCase {
    std::string path;
    VisitError error;
};

TEST(ChallengeVisits, AChallengeEndsTheVisitWithItsErrorAndLeavesNoTrace) {
    support::HttpTestServer site(answer);
    const VisitCase cases[] = {
        {"/baidu", VisitError::challenge}, {"/cf", VisitError::challenge},
        {"/cf503", VisitError::challenge}, {"/moved", VisitError::challenge},
        {"/js", VisitError::challenge},    {"/echo", VisitError::none},
        {"/forbidden", VisitError::http},  {"/plain521", VisitError::http},
        {"/result", VisitError::none},
    };
    for (const VisitCase& c : cases) {
        const VisitOutcome outcome = visit_page(site.url(c.path + "?q={*}"), local("关键词"), 1);
        EXPECT_EQ(outcome.error, c.error) << c.path;
        EXPECT_EQ(outcome.left_trace(), c.error == VisitError::none) << c.path;
        EXPECT_EQ(outcome.attempts, 1) << c.path;
        if (c.error == VisitError::challenge) {
            EXPECT_EQ(visit_failure_reason(outcome), local("（验证拦截）")) << c.path;
            EXPECT_EQ(visit_error_name(outcome.error), "challenge");
        }
    }
}

struct SignCase {
    long status;
    std::string address, headers, title;
    bool echoed;
    bool challenge;
};

TEST(ChallengeSignTable, AddressesStatusesAndTitlesAndTheUsersOwnFile) {
    const ChallengeSigns signs = ChallengeSigns::built_in();
    const SignCase cases[] = {
        {200, "https://wappass.baidu.com/static/captcha/tuxing.html", "", "", false, true},
        {200, "http://a.wappass.baidu.com/", "", "", false, true},
        {200, "http://notwappass.baidu.com/", "", "", false, false},
        {200, "http://a.cn/antispider?x=1", "", "", false, true},
        {200, "http://a.cn/waf/", "", "", false, true},
        {200, "http://a.cn/CAPTCHA", "", "", false, true},
        {200, "http://a.cn/verifying", "", "", false, false},
        {200, "http://a.cn/s?q=/verify", "", "", false, false},
        {429, "http://a.cn/", "HTTP/1.1 429 x\r\ncf-mitigated: challenge\r\n\r\n", "", false, true},
        {200, "http://a.cn/", "HTTP/1.1 200 OK\r\ncf-mitigated: challenge\r\n\r\n", "", false,
         false},
        {200, "http://a.cn/", "", "Attention Required! | Cloudflare", false, true},
        {200, "http://a.cn/", "", "网站防火墙", false, true},
        {200, "http://a.cn/", "", "人机验证", true, false},
        {200, "http://a.cn/", "", "结果", false, false},
    };
    for (const SignCase& c : cases) {
        const LocalText title = local(c.title);
        const ChallengeFacts facts{c.status, c.address, c.headers, title, "", c.echoed};
        EXPECT_EQ(signs.matches(facts), c.challenge) << c.address << " " << c.title;
    }

    ChallengeSigns mine = ChallengeSigns::built_in();
    std::vector<std::string> warnings;
    mine.add("# mine\r\ntitle | 请稍候\r\nsize | 12\r\nstatus | 4x3\r\npath | blocked\r\n", "u.txt",
             warnings);
    const LocalText wait = local("请稍候…");
    EXPECT_TRUE(mine.matches({200, "http://a.cn/", "", wait, "", false}));
    EXPECT_FALSE(signs.matches({200, "http://a.cn/", "", wait, "", false}));
    EXPECT_TRUE(mine.matches({200, "http://a.cn/blocked", "", "", "", false}));
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_TRUE(warnings[0].starts_with("u.txt:3: ")) << warnings[0];
    EXPECT_TRUE(warnings[1].starts_with("u.txt:4: ")) << warnings[1];
}

}  // namespace
}  // namespace trasslo
