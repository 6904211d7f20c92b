#include <gtest/gtest.h>

#include "ServiceEvents.h"

using namespace melodrift;

namespace {

intptr_t Event(int reply, int code) { return intptr_t(reply) << 16 | code; }

} // namespace

TEST(ServiceEvents, RepliesDecodeIntoWhatTheWindowDoes)
{
    using A = ServiceEventAction;
    struct Case {
        intptr_t wParam;
        A::Kind kind;
        bool askAgain;
        bool forced;
    } const cases[] = {
        {Event(kReplyLogin, 0), A::kLoggedIn, false, false},
        {Event(kReplyLogin, CS_ERR_BAD_PASSWORD), A::kLoginFailed, true, false},
        {Event(kReplyLogin, CS_ERR_UNKNOWN_USER), A::kLoginFailed, true, false},
        {Event(kReplyLogin, CS_ERR_TIMEOUT), A::kLoginFailed, false, false},
        {Event(kReplyGreeting, kGreetingNewVersion), A::kNewVersion, false, false},
        {Event(kReplyGreeting, kGreetingForcedUpdate), A::kNewVersion, false, true},
        {Event(kReplyGreeting, 0), A::kIgnored, false, false},
        {Event(kReplyNoticeCount, CS_ERR_SERVER), A::kIgnored, false, false},
        {Event(0x64, 0), A::kIgnored, false, false},   // a style detail is the style screens' business
    };
    for (const Case& c : cases) {
        TServiceEvents events;
        const A action = events.Decode(c.wParam, 0);
        EXPECT_EQ(action.kind, c.kind) << std::hex << c.wParam;
        EXPECT_EQ(action.askLoginAgain, c.askAgain) << std::hex << c.wParam;
        EXPECT_EQ(action.forced, c.forced) << std::hex << c.wParam;
        EXPECT_EQ(action.code, int(c.wParam & 0xFFFF));
    }
}

TEST(ServiceEvents, NoticeCountsKeepGeneralAndPersonalApart)
{
    TServiceEvents events;
    EXPECT_FALSE(events.Decode(Event(kReplyNoticeCount, 0), 3).personal);
    EXPECT_TRUE(events.Decode(Event(kReplyNoticeCount, 0), (intptr_t(7) << 16) | 2).personal);
    EXPECT_EQ(events.Notices(), 3);
    EXPECT_EQ(events.Personal(), 2);
    EXPECT_EQ(events.Unread(true), 5);
    EXPECT_EQ(events.Unread(false), 3) << "personal messages count only while logged in";
    // A failed count leaves the counts as they were.
    events.Decode(Event(kReplyNoticeCount, CS_ERR_TIMEOUT), 9);
    EXPECT_EQ(events.Notices(), 3);
    events.Decode(Event(kReplyNoticeCount, 0), 0);
    EXPECT_EQ(events.Unread(true), 2);
}

TEST(ServiceEvents, NewVersionMessageNamesTheForcedCase)
{
    EXPECT_EQ(NewVersionMessage(false), QStringLiteral("新的版本已发布,建议立即更新。"));
    EXPECT_TRUE(NewVersionMessage(true).startsWith(QStringLiteral("当前版本下，用户将无法进行登录")));
}
