// The decisions of the account screens, without windows or service.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>

#include "AccountText.h"
#include "HelpLogic.h"
#include "LimitedEdits.h"
#include "LoginLogic.h"
#include "SongModel.h"
#include "UpdateLogic.h"
#include "UploadLogic.h"

using namespace melodrift;

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

} // namespace

TEST(LoginInput, NamesAndPasswordsFollowTheirPatterns)
{
    struct Case {
        const char* name;
        bool valid;
    } const names[] = {
        {"ab", false}, {"a_b", true}, {"lin.chen-2", true}, {"a b", false}, {"abcdefghijklmnop", true},
        {"abcdefghijklmnopq", false},   // 17 bytes
        {"小林", true},                  // 6 bytes in the code page
        {"小林小林小林", false},          // 18 bytes
        {"lin@example.com", true}, {"lin@example", false}, {"a!b", false}, {"", false},
    };
    for (const Case& c : names)
        EXPECT_EQ(IsValidUserName(U(c.name)), c.valid) << c.name;

    EXPECT_TRUE(IsValidPassword(QStringLiteral("abcde"), false)) << "five characters log in";
    EXPECT_FALSE(IsValidPassword(QStringLiteral("abcde"), true)) << "but do not register";
    EXPECT_TRUE(IsValidPassword(QStringLiteral("ab!~#$"), true));
    EXPECT_FALSE(IsValidPassword(QStringLiteral("ab"), false));
    EXPECT_FALSE(IsValidPassword(QStringLiteral("abc def"), false)) << "a space is not printable here";
    EXPECT_FALSE(IsValidPassword(U("密码密码"), false));
    EXPECT_FALSE(IsValidPassword(QStringLiteral("12345678901234567"), false));
}

TEST(LoginInput, ConfirmEmptiesAndFocusesTheFirstEntryToMend)
{
    using F = LoginField;
    struct Case {
        LoginEntries typed;
        bool registering;
        bool accepted;
        F focus;
        LoginEntries kept;
    } const cases[] = {
        {{"  lin ", " secret ", ""}, false, true, F::None, {"lin", "secret", ""}},
        {{"", "secret", ""}, false, false, F::UserName, {"", "secret", ""}},
        {{"lin", "  ", ""}, false, false, F::Password, {"lin", "", ""}},
        {{"lin", "secret", ""}, true, false, F::Confirm, {"lin", "secret", ""}},
        {{"li", "secret", "secret"}, true, false, F::UserName, {"", "secret", "secret"}},
        {{"lin", "abcde", "abcde"}, true, false, F::Password, {"lin", "", ""}},
        {{"lin", "secret", "secreT"}, true, false, F::Confirm, {"lin", "secret", ""}},
        {{"lin", "secret", "secret"}, true, true, F::None, {"lin", "secret", "secret"}},
    };
    for (const Case& c : cases) {
        const LoginVerdict v = ConfirmLogin(c.typed, c.registering);
        const std::string what = c.typed.userName.toStdString() + "/" + c.typed.password.toStdString();
        EXPECT_EQ(v.accepted, c.accepted) << what;
        EXPECT_EQ(v.focus, c.focus) << what;
        EXPECT_EQ(v.entries.userName, c.kept.userName) << what;
        EXPECT_EQ(v.entries.password, c.kept.password) << what;
        EXPECT_EQ(v.entries.confirm, c.kept.confirm) << what;
    }
    EXPECT_EQ(FocusOnShow({"lin", "", ""}), F::Password);
    EXPECT_EQ(FocusOnShow({"", "", ""}), F::UserName);
    EXPECT_EQ(FocusOnRegister({"lin", "pw", ""}), F::Confirm);
    EXPECT_EQ(FocusOnRegister({"lin", "", ""}), F::Password);

    LoginDialogState state{false, false, QStringLiteral("lin"), QStringLiteral("pw")};
    EXPECT_EQ(state.Shown().password, QStringLiteral("pw"));
    state.registering = true;
    EXPECT_TRUE(state.Shown().userName.isEmpty()) << "registration starts empty";
}

TEST(AccountText, TypingNeverCutsACharacterAndAPasteThatDoesNotFitIsUndone)
{
    int caret = 31;
    const QString thirty(30, QLatin1Char('a'));
    EXPECT_EQ(LimitTyping(thirty, thirty + QLatin1Char('b'), 30, caret), thirty) << "the 31st byte is dropped";
    EXPECT_EQ(caret, 30);

    // 28 bytes + one Chinese character (3 bytes) exceeds 30: the character goes whole.
    const QString base(28, QLatin1Char('a'));
    caret = 29;
    const QString kept = LimitTyping(base, base + U("歌"), 30, caret);
    EXPECT_EQ(kept, base);
    EXPECT_EQ(CodePageLength(kept), 28);

    // Typed in the middle: the character before the caret goes, not the end.
    caret = 3;
    EXPECT_EQ(LimitTyping(QStringLiteral("abcd"), QStringLiteral("abXcd"), 4, caret), QStringLiteral("abcd"));

    caret = 40;
    EXPECT_EQ(LimitTyping(QStringLiteral("ab"), QStringLiteral("ab") + QString(38, QLatin1Char('x')), 30, caret),
              QStringLiteral("ab"))
        << "a long paste is refused, not cut";
    caret = 3;
    EXPECT_EQ(LimitTyping(QStringLiteral("ab"), QStringLiteral("abc"), 30, caret), QStringLiteral("abc"));

    const QChar lone(0xD800);
    EXPECT_TRUE(HasUnwritableCharacter(QStringLiteral("a") + lone));
    EXPECT_TRUE(HasUnwritableCharacter(QString(QChar(0))));
    EXPECT_FALSE(HasUnwritableCharacter(U("音乐🎵")));
}

TEST(AccountText, EditsDropTheTypedCharacterThatWouldNotFit)
{
    QLineEdit name;
    LimitLineEdit(&name, 30);
    name.setText(QString(29, QLatin1Char('a')));
    QTest::keyClicks(&name, QStringLiteral("bc"));
    EXPECT_EQ(name.text(), QString(29, QLatin1Char('a')) + QLatin1Char('b')) << "the 31st byte is dropped";

    QPlainTextEdit memo;
    QObject::connect(&memo, &QPlainTextEdit::textChanged, &memo, [&memo] { KeepWithinBytes(&memo, 8); });
    QTest::keyClicks(&memo, QStringLiteral("ab"));
    memo.insertPlainText(U("歌曲"));
    EXPECT_EQ(memo.toPlainText(), U("ab歌曲"));
    memo.insertPlainText(U("好"));
    EXPECT_EQ(memo.toPlainText(), U("ab歌曲")) << "a third character of three bytes does not fit whole";
    EXPECT_EQ(CodePageLength(memo.toPlainText()), 8);
}

TEST(UploadBlock, EntriesRoundTripThroughTheBlockAtTheirOffsets)
{
    SongDescription e;
    e.songName = U(" 晚风 ");
    e.singer = QStringLiteral("Lin");
    e.original = QStringLiteral("Old Singer");
    e.lyricist = U("林");
    e.composer = QStringLiteral("C");
    e.arranger = QStringLiteral("A");
    e.description = U("夏天的晚上\n写的");
    e.adaptation = true;
    e.publish = false;
    e.sexIndex = 2;
    e.types = {2, 127};
    std::array<uint8_t, kDescriptionBlockSize> block{};
    const int32_t size = 1008;
    std::memcpy(block.data(), &size, 4);
    block[300] = 0xAB;   // outside every field: left alone
    ASSERT_TRUE(WriteDescription(e, 96, 1, block.data()).isEmpty());

    EXPECT_STREQ(reinterpret_cast<const char*>(block.data() + 4), "晚风") << "trimmed";
    int32_t tempo = 0;
    std::memcpy(&tempo, block.data() + 68, 4);
    EXPECT_EQ(tempo, 96);
    EXPECT_EQ(block[72], 1);
    EXPECT_EQ(block[73], 3) << "adaptation";
    EXPECT_EQ(block[74], 0) << "not published";
    EXPECT_EQ(block[75], 3) << "list index + 1";
    EXPECT_STREQ(reinterpret_cast<const char*>(block.data() + 108), "Old Singer");
    EXPECT_EQ(block[236], 2);
    EXPECT_EQ(block[237], 127);
    EXPECT_EQ(block[238], 0xFF);
    EXPECT_EQ(block[239], 0xFF);
    EXPECT_EQ(block[300], 0xAB);
    EXPECT_STREQ(reinterpret_cast<const char*>(block.data() + 368), "夏天的晚上\n写的");

    SongDescription back;
    ASSERT_TRUE(ReadDescription(block.data(), back));
    EXPECT_EQ(back.songName, U("晚风"));
    EXPECT_EQ(back.original, QStringLiteral("Old Singer"));
    EXPECT_TRUE(back.adaptation);
    EXPECT_FALSE(back.publish);
    EXPECT_EQ(back.sexIndex, 2);
    EXPECT_EQ(back.types, (std::vector<uint8_t>{2, 127}));

    std::array<uint8_t, kDescriptionBlockSize> empty{};
    EXPECT_FALSE(ReadDescription(empty.data(), back)) << "no song name, no kept copy";

    // An original song never carries an original singer.
    e.adaptation = false;
    ASSERT_TRUE(WriteDescription(e, 96, 1, block.data()).isEmpty());
    EXPECT_EQ(block[108], 0);
    EXPECT_EQ(block[73], 1);
}

TEST(UploadBlock, TextsThatDoNotFitWholeAreRefusedAndTheBlockStaysAsItWas)
{
    std::array<uint8_t, kDescriptionBlockSize> block{};
    block[4] = 'x';
    SongDescription e;
    e.songName = QString(20, QChar(0x6B4C));   // 20 × 3 bytes = 60: fits exactly
    EXPECT_TRUE(WriteDescription(e, 80, 0, block.data()).isEmpty());
    EXPECT_EQ(std::strlen(reinterpret_cast<const char*>(block.data() + 4)), 60u);

    const auto before = block;
    struct Case {
        SongDescription entries;
        const char* message;
    };
    SongDescription longName;
    longName.songName = QString(61, QLatin1Char('a'));
    SongDescription longSinger;
    longSinger.songName = QStringLiteral("ok");
    longSinger.singer = QString(11, QChar(0x6B4C));   // 33 bytes
    SongDescription broken;
    broken.songName = QStringLiteral("ok");
    broken.description = QStringLiteral("a") + QChar(0xDC00);
    SongDescription longDescription;
    longDescription.songName = QStringLiteral("ok");
    longDescription.description = QString(107, QChar(0x6B4C));   // 321 bytes
    const Case cases[] = {
        {longName, "歌曲名称太长，最多60个字节，请删减。"},
        {longSinger, "演唱者太长，最多30个字节，请删减。"},
        {broken, "歌曲描述含有无法保存的字符，请修改。"},
        {longDescription, "歌曲描述太长，最多320个字节，请删减。"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WriteDescription(c.entries, 80, 0, block.data()), U(c.message));
        EXPECT_EQ(block, before) << c.message;
    }
}

TEST(UploadMusicTypes, AtMostFourAndNeverNone)
{
    TMusicTypeChoice choice;
    for (int box : {0, 2, 4, 6, 8})
        choice.Toggle(box);
    EXPECT_EQ(choice.CheckedCount(), 4) << "a fifth click leaves four checked";
    EXPECT_FALSE(choice.Checked(8));
    EXPECT_EQ(choice.Codes(), (std::vector<uint8_t>{0, 2, 4, 6}));

    TMusicTypeChoice single;
    single.Toggle(3);
    single.Toggle(3);
    EXPECT_EQ(single.Codes(), (std::vector<uint8_t>{127})) << "unchecking the only type checks 其它";
    single.Toggle(kOthersBox);
    EXPECT_EQ(single.Codes(), (std::vector<uint8_t>{127})) << "其它 cannot be the last one unchecked either";

    TMusicTypeChoice fromCodes;
    fromCodes.CheckCodes({10, 42, 0xFF, 1, 2, 3});
    EXPECT_EQ(fromCodes.Codes(), (std::vector<uint8_t>{1, 2, 10, 127})) << "42 counts as 其它; four at most";
}

TEST(UploadMusicTypes, ProposalReadsEachDistinctStyleOfTheSongOnce)
{
    TSongModel song;
    song.styleId = 5;
    for (int32_t id : {5, 7, -1, 7, 9}) {
        tagComposeStage entry;
        entry.styleId = id;
        song.songForm.push_back(entry);
    }
    std::vector<int32_t> asked;
    const auto reader = [&asked](int32_t id, std::array<uint8_t, 4>& types) {
        asked.push_back(id);
        if (id == 9)
            return false;   // a style without an info record
        types = id == 5 ? std::array<uint8_t, 4>{0, 0xFF, 0xFF, 0xFF} : std::array<uint8_t, 4>{3, 200, 0, 0xFF};
        return true;
    };
    EXPECT_EQ(ProposedMusicTypes(song, reader), (std::vector<uint8_t>{0, 3, 127}));
    EXPECT_EQ(asked, (std::vector<int32_t>{5, 7, 9}));
}

namespace {

// Every character 10 pixels wide, a CJK one 20.
int Width(QChar c) { return c.unicode() > 0x2E80 ? 20 : 10; }

CS_TextRecord Record(const char* title, const char* text)
{
    CS_TextRecord r{};
    std::snprintf(r.title, sizeof r.title, "%s", title);
    std::snprintf(r.text, sizeof r.text, "%s", text);
    return r;
}

} // namespace

TEST(HelpLines, WrappingBreaksAtTheWidthAndAtLineFeeds)
{
    struct Case {
        const char* text;
        int width;
        std::vector<const char*> lines;
    } const cases[] = {
        {"abc", 30, {"ab", "c"}},               // exactly as wide: breaks before the last character
        {"ab", 30, {"ab"}},
        {"ab\ncd", 100, {"ab", "cd"}},          // the line feed is not drawn
        {"ab\n\ncd", 100, {"ab", "", "cd"}},
        {"abcdefg", 30, {"ab", "cd", "ef", "g"}},
        {"歌曲好", 40, {"歌", "曲", "好"}},
        {"歌", 10, {"歌"}},                      // wider than a line: it still gets one
        {"", 30, {""}},
    };
    for (const Case& c : cases) {
        const std::vector<QString> got = WrapHelpText(U(c.text), c.width, Width);
        std::vector<QString> want;
        for (const char* line : c.lines)
            want.push_back(U(line));
        EXPECT_EQ(got, want) << c.text;
    }
}

TEST(HelpLines, EntriesGetPrefixesAnAnswerPlaceholderAndOneBlankBetween)
{
    const std::vector<CS_TextRecord> entries = {Record("How?", ""), Record("Why?", "Because")};
    const std::vector<HelpLine> lines = BuildHelpLines(entries, kTabFeedback, 1000, Width);
    const std::vector<HelpLine> want = {
        {kLineTitle, QStringLiteral("How?")}, {kLineBody, U("暂时还没有答复")}, {kLineContinuation, {}},
        {kLineTitle, QStringLiteral("Why?")}, {kLineBody, QStringLiteral("Because")},
    };
    EXPECT_EQ(lines, want) << "no blank line after the last entry";
    EXPECT_EQ(HelpPrefix(kTabQnA, kLineTitle), QStringLiteral("Q:"));
    EXPECT_EQ(HelpPrefix(kTabFeedback, kLineBody), QStringLiteral("A:"));
    EXPECT_EQ(HelpPrefix(kTabPublicNotices, kLineTitle), U("△"));
    EXPECT_EQ(HelpPrefix(kTabUserNotices, kLineBody), QStringLiteral("  "));
    EXPECT_EQ(HelpPrefix(kTabQnA, kLineContinuation), QString());

    // A notice without text has no answer to wait for.
    const std::vector<HelpLine> notice = BuildHelpLines({Record("Maintenance", "")}, kTabPublicNotices, 1000, Width);
    ASSERT_EQ(notice.size(), 1u);
    EXPECT_EQ(notice[0].kind, kLineTitle);

    // A wrapped title continues without a prefix.
    const std::vector<HelpLine> wrapped = BuildHelpLines({Record("abc", "d")}, kTabQnA, 30, Width);
    ASSERT_EQ(wrapped.size(), 3u);
    EXPECT_EQ(wrapped[1], (HelpLine{kLineContinuation, QStringLiteral("c")}));
}

TEST(HelpScroll, PagesClampAndEachTabFindsItsEntryAgainAfterAResize)
{
    THelpScroll scroll;
    scroll.SetLines(10, 8);
    scroll.PageDown();
    EXPECT_EQ(scroll.First(), 2) << "lines 3 to 10 show";
    scroll.PageDown();
    EXPECT_EQ(scroll.First(), 2);
    scroll.LineUp();
    EXPECT_EQ(scroll.First(), 1);
    scroll.PageUp();
    EXPECT_EQ(scroll.First(), 0);
    scroll.LineUp();
    EXPECT_EQ(scroll.First(), 0);
    scroll.Bottom();
    EXPECT_EQ(scroll.First(), 2);
    scroll.SetLines(5, 8);
    EXPECT_EQ(scroll.First(), 0);
    EXPECT_FALSE(scroll.Scrollable()) << "everything fits: no scroll bar";

    // Entries of 3 lines each, separated by blanks: entry k starts at 4k.
    std::vector<HelpLine> lines;
    for (int e = 0; e < 6; ++e) {
        if (e > 0)
            lines.push_back({kLineContinuation, {}});
        lines.push_back({kLineTitle, QStringLiteral("q%1").arg(e)});
        lines.push_back({kLineContinuation, QStringLiteral("more")});
        lines.push_back({kLineBody, QStringLiteral("a%1").arg(e)});
    }
    scroll.SetLines(static_cast<int>(lines.size()), 4);
    scroll.ScrollTo(9);   // inside entry 2 (lines 8..10)
    scroll.Store(kTabQnA, lines);
    scroll.ScrollTo(0);
    scroll.Store(kTabPublicNotices, lines);
    scroll.ForgetLines();

    // After the resize the entries wrap into 2 lines each: entry k starts at 3k.
    std::vector<HelpLine> rewrapped;
    for (int e = 0; e < 6; ++e) {
        if (e > 0)
            rewrapped.push_back({kLineContinuation, {}});
        rewrapped.push_back({kLineTitle, QStringLiteral("q%1").arg(e)});
        rewrapped.push_back({kLineBody, QStringLiteral("a%1").arg(e)});
    }
    scroll.Restore(kTabQnA, rewrapped, 4);
    EXPECT_EQ(scroll.First(), 6) << "entry 2 is at the top again";
    scroll.Restore(kTabPublicNotices, rewrapped, 4);
    EXPECT_EQ(scroll.First(), 0);
}

TEST(UpdateTexts, VersionsEditionsAndReleaseNotes)
{
    CS_VersionRecord v{};
    v.major = 1;
    v.minor = 0;
    v.modify = 4;
    v.build = 312;
    std::snprintf(v.serverText, sizeof v.serverText, "a\n\nb");
    EXPECT_EQ(AnnouncedVersionText(v), U("最新版本：1.0.4.0312 公测版"));
    EXPECT_EQ(ReleaseNoteLines(v), (QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")}));
    EXPECT_EQ(EditionName(2), U(" 正式版"));
    EXPECT_EQ(EditionName(3), U(" 内测版"));
    EXPECT_EQ(RunningVersionText(QStringLiteral("0.1.0.0000")), U("当前版本：0.1.0.0000 内测版"));
    EXPECT_EQ(RunningVersionText(QStringLiteral("dev")), U("当前版本：dev"));
    v.serverText[0] = '\0';
    EXPECT_TRUE(ReleaseNoteLines(v).isEmpty());
}
