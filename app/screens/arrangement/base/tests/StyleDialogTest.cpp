// The style dialog: its decisions over synthetic and shipped libraries, the
// favourites file, a download from the real service, and its pictures.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>

#include "AppSession.h"
#include "EngineBinding.h"
#include "EngineTables.h"
#include "SongModel.h"
#include "StyleDialog.h"
#include "StyleSelLogic.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "TStyleSelForm.h"

using namespace melodrift;

namespace {

StyleEntry MakeStyle(int32_t id, const char* name, int primary, int secondary = -1, int state = SF_STATE_INSTALLED)
{
    StyleEntry e;
    e.info.id = id;
    e.info.state = state;
    e.info.categories[0] = static_cast<int8_t>(primary);
    e.info.categories[1] = static_cast<int8_t>(secondary);
    std::strncpy(e.info.name, name, sizeof e.info.name - 1);
    std::strncpy(e.info.description, "描述", sizeof e.info.description - 1);
    return e;
}

// A run state already loaded for 4/4, so no engine is asked.
StyleRunState Library(int count, int category = 0)
{
    StyleRunState run;
    run.loadedMetre = 0;
    run.favouritesRead = true;
    for (int i = 0; i < count; ++i)
        run.library.push_back(MakeStyle(100 + i, ("Style " + std::to_string(i)).c_str(), category));
    return run;
}

struct HomeFolder {
    QTemporaryDir dir;
    HomeFolder() { setenv("MELODRIFT_HOME", dir.path().toUtf8().constData(), 1); }
    ~HomeFolder() { unsetenv("MELODRIFT_HOME"); }
};

} // namespace

TEST(StyleSelLogic, PagingFollowsTheCountAndKeepsTheStripAroundThePage)
{
    struct Case {
        int styles;
        std::vector<const char*> steps;   // n next, p previous, l last, f first, gN go to N
        int page, windowStart, onPage;
        bool ellipsis;
    };
    const Case cases[] = {
        {41, {}, 1, 1, 20, false},
        {41, {"l"}, 3, 1, 1, false},                 // 41 styles: the third page holds one
        {41, {"n", "n", "n"}, 3, 1, 1, false},        // next stops at the last page
        {200, {"n", "n", "n"}, 4, 1, 20, true},       // ten pages: slot 4 without moving yet
        {200, {"n", "n", "n", "n"}, 5, 2, 20, true},  // the window moves, the page stays in slot 4
        {200, {"l"}, 10, 5, 20, false},
        {200, {"l", "p", "p", "p", "p", "p", "p"}, 4, 4, 20, true},
        {200, {"g7"}, 7, 4, 20, true},
        {200, {"g3"}, 3, 1, 20, true},
        {200, {"g9"}, 9, 5, 20, false},
        {200, {"g0"}, 1, 1, 20, true},                // 0 is refused
        {200, {"g999"}, 10, 5, 20, false},            // beyond the count: the last page
        {200, {"l", "f"}, 1, 1, 20, true},
        {0, {"n", "l"}, 1, 1, 0, false},
    };
    for (const Case& c : cases) {
        StyleRunState run = Library(c.styles);
        TSongModel song;
        song.genreMask = 1;
        TStyleSelLogic logic(run, song, {});
        logic.Activate(false);
        for (const char* step : c.steps) {
            switch (step[0]) {
            case 'n': logic.NextPage(); break;
            case 'p': logic.PreviousPage(); break;
            case 'l': logic.LastPage(); break;
            case 'f': logic.FirstPage(); break;
            case 'g': logic.GoToPage(std::atoi(step + 1)); break;
            }
        }
        const std::string what = std::to_string(c.styles) + " styles, " + std::to_string(c.steps.size()) + " steps";
        EXPECT_EQ(logic.Page(), c.page) << what;
        EXPECT_EQ(logic.WindowStart(), c.windowStart) << what;
        EXPECT_EQ(static_cast<int>(logic.PageEntries().size()), c.onPage) << what;
        EXPECT_EQ(logic.StripEllipsis(), c.ellipsis) << what;
        EXPECT_LE(logic.StripPages().size(), 6u) << what;
        if (!logic.StripPages().empty()) {
            EXPECT_GE(logic.Page(), logic.StripPages().front()) << what << ": the page is on the strip";
            EXPECT_LE(logic.Page(), logic.StripPages().back()) << what;
        }
    }
    StyleRunState run = Library(45);
    TSongModel song;
    song.genreMask = 1;
    TStyleSelLogic logic(run, song, {});
    logic.Activate(false);
    EXPECT_EQ(logic.ClampGoText(QStringLiteral("a7x")), QStringLiteral("3")) << "digits only, at most the count";
    EXPECT_EQ(logic.ClampGoText(QStringLiteral("2")), QStringLiteral("2"));
}

TEST(StyleSelLogic, CategoryBoxesFilterAndSelectNoneClearsThem)
{
    StyleRunState run;
    run.loadedMetre = 0;
    run.favouritesRead = true;
    run.library = {MakeStyle(1, "Pop", 0), MakeStyle(2, "Rock", 2, 0), MakeStyle(3, "RnB", 11),
                   MakeStyle(4, "Country", 10, 2), MakeStyle(5, "Bare", -1)};
    TSongModel song;
    song.genreMask = 1u << 0;   // pop
    TStyleSelLogic logic(run, song, {});
    logic.Activate(false);
    auto ids = [&] {
        std::vector<int32_t> out;
        for (int i : logic.Filtered())
            out.push_back(logic.Entry(i).info.id);
        return out;
    };
    EXPECT_EQ(ids(), (std::vector<int32_t>{1, 2})) << "primary or secondary category, in library order";
    EXPECT_EQ(run.checkedCategories, std::vector<int>{0}) << "the song's genre mask fills the kept states";

    logic.ToggleCategory(9);
    EXPECT_EQ(ids(), (std::vector<int32_t>{1, 2, 3, 4})) << "box 9 takes categories 9 and above";
    logic.ToggleCategory(kSelectNoneBox);
    EXPECT_TRUE(ids().empty());
    for (int box = 0; box < kCategoryBoxes; ++box)
        EXPECT_FALSE(logic.CategoryChecked(box)) << box;
    logic.ToggleCategory(2);
    EXPECT_FALSE(logic.CategoryChecked(kSelectNoneBox)) << "any category clears select-none";
    EXPECT_EQ(ids(), (std::vector<int32_t>{2, 4}));

    // Hints name both categories, or say none is known.
    EXPECT_EQ(logic.HintText(run.IndexOf(3)), QStringLiteral("名称：RnB\n描述：描述\n类型: R&B "));
    EXPECT_EQ(logic.HintText(run.IndexOf(2)), QStringLiteral("名称：Rock\n描述：描述\n类型: 摇滚 流行 "));
    EXPECT_TRUE(logic.HintText(run.IndexOf(5)).endsWith(QStringLiteral("类型: 未知类型")));

    // Choosing writes the states into the song: bits 0..9 and 11 for select-none.
    logic.Select(run.IndexOf(2));
    ASSERT_TRUE(logic.Choose());
    EXPECT_EQ(song.genreMask, 1u << 2);
    EXPECT_EQ(logic.Output().styleId, 2);
    EXPECT_EQ(run.tried, std::vector<int32_t>{2});
}

TEST(StyleSelLogic, OpeningOnAStyleOfAnUncheckedCategoryChecksItAndSelectsIt)
{
    StyleRunState run = Library(30, 0);
    run.library.push_back(MakeStyle(999, "Jazz", 4));
    run.checkedCategories = {0};
    TSongModel song;
    song.styleId = 999;
    song.SetFlag(kFlagBaseAccompaniment, true);
    song.SetFlag(kFlagComposed, true);
    StyleDialogInput in;
    in.styleId = 999;
    TStyleSelLogic logic(run, song, in);
    logic.Activate(false);
    EXPECT_TRUE(logic.CategoryChecked(4));
    EXPECT_EQ(logic.Page(), 2) << "the list goes to the current style's page";
    EXPECT_EQ(logic.Selected(), run.IndexOf(999));
    EXPECT_TRUE(logic.ChooseEnabled());

    // Choosing the same style keeps the song's accompaniment; another clears it.
    ASSERT_TRUE(logic.Choose());
    EXPECT_TRUE(song.Flag(kFlagComposed));
    logic.Select(run.IndexOf(100));
    ASSERT_TRUE(logic.Choose());
    EXPECT_FALSE(song.Flag(kFlagComposed));
    EXPECT_FALSE(song.Flag(kFlagBaseAccompaniment));
    EXPECT_EQ(logic.Output().styleId, 100);
}

TEST(StyleSelLogic, TabsSearchFavouritesAndOnlineStyles)
{
    StyleRunState run = Library(3);
    run.library.push_back(MakeStyle(50, "Swing Time", 4, -1, SF_STATE_ONLINE));
    run.favourites = {101};
    TSongModel song;
    TStyleSelLogic logic(run, song, {});
    logic.Activate(false);

    logic.SetTab(StyleTab::Account);
    EXPECT_EQ(logic.Tab(), StyleTab::Categories) << "the account tab needs a login";

    logic.SetTab(StyleTab::Search);
    EXPECT_EQ(logic.Filtered().size(), 4u) << "an empty search keeps all";
    logic.SetSearchText(QStringLiteral("  swing "));
    ASSERT_EQ(logic.Filtered().size(), 1u);
    const int online = logic.Filtered()[0];
    logic.Select(online);
    EXPECT_FALSE(logic.PlayEnabled()) << "a style not installed cannot be previewed";
    EXPECT_FALSE(logic.ChooseEnabled());
    EXPECT_FALSE(logic.Choose());
    auto menu = logic.MenuFor(online);
    ASSERT_EQ(menu.size(), 3u);
    EXPECT_EQ(menu[0].text, QStringLiteral("下载"));
    EXPECT_TRUE(menu[1].text.isEmpty());
    EXPECT_EQ(menu[2].text, QStringLiteral("收藏"));
    logic.RunMenu(online, menu[2].tag);
    menu = logic.MenuFor(online);
    EXPECT_EQ(menu[2].text, QStringLiteral("已收藏"));
    EXPECT_FALSE(menu[2].enabled);

    logic.SetTab(StyleTab::Favourites);
    EXPECT_EQ(logic.Filtered().size(), 2u);
    EXPECT_EQ(logic.MenuFor(online).back().text, QStringLiteral("删除"));
    logic.RunMenu(run.IndexOf(101), kMenuRemoveFavourite);
    EXPECT_EQ(logic.Filtered(), std::vector<int>{online});

    logic.SetTab(StyleTab::Tried);
    EXPECT_TRUE(logic.Filtered().empty());
}

TEST(StyleSelLogic, StageRadiosFollowTheStageKind)
{
    StyleRunState run = Library(2);
    TSongModel song;
    StyleDialogInput in;
    in.stageIndex = 2;
    in.stageKind = 1;
    in.variation = 1;
    TStyleSelLogic logic(run, song, in);
    logic.Activate(false);
    EXPECT_FALSE(logic.RadioEnabled({}));
    EXPECT_EQ(logic.Radio(), (SectionRadio{1, 1}));
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(logic.RadioEnabled({1, column}), column < 2) << column;
        EXPECT_FALSE(logic.RadioEnabled({0, column}));
        EXPECT_FALSE(logic.RadioEnabled({2, column}));
    }
    EXPECT_TRUE(logic.SelectRadio({1, 0}));
    logic.Select(0);
    ASSERT_TRUE(logic.Choose());
    EXPECT_EQ(logic.Output().variation, 0);
}

TEST(StyleLibraryFiles, FavouritesSurviveARunAndAnEmptyListRemovesTheFile)
{
    HomeFolder home;
    const std::string path = FavouritesPath();
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(WriteFavourites(path, {7, 2001, -3}));
    EXPECT_EQ(ReadFavourites(path), (std::vector<int32_t>{7, 2001, -3}));
    QFile file(QString::fromStdString(path));
    ASSERT_EQ(file.size(), 12) << "a bare array of 32-bit ids";
    // A torn file keeps its whole words.
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("\x01\x02", 2);
    file.close();
    EXPECT_EQ(ReadFavourites(path), (std::vector<int32_t>{7, 2001, -3}));
    ASSERT_TRUE(WriteFavourites(path, {}));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
    EXPECT_TRUE(ReadFavourites(path).empty());
}

TEST(StyleLibraryFiles, TextsAreCutOnCharacterBoundaries)
{
    char field[8];
    std::memcpy(field, "ab\xE4\xB8\xAD\xE6\x96\x87", 8);   // "ab中文", no room for the NUL
    CutUtf8Field(field, sizeof field);
    EXPECT_STREQ(field, "ab\xE4\xB8\xAD");
    std::memcpy(field, "abcdefgh", 8);
    CutUtf8Field(field, sizeof field);
    EXPECT_STREQ(field, "abcdefg");
}

namespace {

// The real libraries, bound once for the whole run as the program does.
class ShippedLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("MELODRIFT_SERVICE", "127.0.0.1:9", 0);
        s_bound = BindEngineLibraries() == 0;
    }
    void SetUp() override
    {
        ASSERT_TRUE(s_bound) << "the engine libraries are built beside the tests";
        InstallMessageDispatcher();
    }
    void SavePicture(QWidget& widget, const QString& name)
    {
        QDir().mkpath(QStringLiteral(MELODRIFT_SCREENSHOT_DIR));
        widget.grab().save(QStringLiteral(MELODRIFT_SCREENSHOT_DIR "/") + name);
    }
    static bool s_bound;
};
bool ShippedLibrary::s_bound = false;

} // namespace

TEST_F(ShippedLibrary, EveryMetreListsItsInstalledStylesAndSearchFindsThemByName)
{
    HomeFolder home;
    for (int metre = 0; metre < 4; ++metre) {
        StyleRunState run;
        TSongModel song;
        song.metre = metre;
        song.genreMask = (1u << 10) - 1;   // every category box
        TStyleSelLogic logic(run, song, {});
        logic.Activate(false);
        ASSERT_FALSE(run.library.empty()) << "metre " << metre;
        for (const StyleEntry& e : run.library) {
            EXPECT_EQ(e.info.metre, metre);
            EXPECT_NE(std::memchr(e.info.name, 0, sizeof e.info.name), nullptr);
        }
        // Every shipped style has a category, so all boxes offer the whole library.
        EXPECT_EQ(logic.Filtered().size(), run.library.size()) << "metre " << metre;
        logic.SetTab(StyleTab::Search);
        const QString name = QString::fromUtf8(run.library.back().info.name);
        logic.SetSearchText(name.left(3));
        ASSERT_FALSE(logic.Filtered().empty());
        for (int i : logic.Filtered())
            EXPECT_TRUE(QString::fromUtf8(logic.Entry(i).info.name).contains(name.left(3), Qt::CaseInsensitive));
        logic.SetSearchText(QStringLiteral("没有这种风格"));
        EXPECT_TRUE(logic.Filtered().empty());
    }
}

TEST_F(ShippedLibrary, TheDialogChoosesAStyleAndShowsItsStates)
{
    HomeFolder home;
    TSongModel song;
    song.metre = 0;
    StyleRunState run;
    LoadStyleLibrary(run, 0);
    ASSERT_GE(run.library.size(), 2u);
    song.styleId = run.library[0].info.id;
    StyleDialogInput in;
    in.styleId = song.styleId;
    TStyleSelForm form(song, in, false, nullptr, run);
    form.show();
    EXPECT_EQ(form.m_lblTitle->text(), QStringLiteral("---全局设定---"));
    EXPECT_TRUE(form.m_ImgFind->isVisible()) << "the category panel is shown first";
    SavePicture(form, QStringLiteral("style-dialog-categories.png"));
    form.ClickTab(StyleTab::Categories);
    EXPECT_FALSE(form.m_ImgFind->isVisible()) << "the active tab only hides its panel";
    EXPECT_TRUE(form.m_btnTry->Enabled()) << "the current style is selected";
    SavePicture(form, QStringLiteral("style-dialog-list.png"));

    // The hint shows after a rest on an item.
    form.ShowHintFor(run.IndexOf(song.styleId), QPoint(200, 200));
    QTest::qWait(600);
    EXPECT_TRUE(form.m_hint->isVisible());
    EXPECT_TRUE(form.m_hint->text().startsWith(QStringLiteral("名称：")));
    SavePicture(*form.m_hint, QStringLiteral("style-dialog-hint.png"));
    form.HideHint();

    form.ClickTab(StyleTab::Search);
    EXPECT_TRUE(form.m_edSearch->isVisible());
    SavePicture(form, QStringLiteral("style-dialog-search.png"));
    form.ClickTab(StyleTab::Categories);
    form.ClickTab(StyleTab::Categories);
    const int other = 1;
    form.PressItem(other, false, {});
    form.ClickChoose();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.Output().styleId, run.library[other].info.id);
    EXPECT_EQ(form.Output().styleFileName, run.library[other].info.name);
}

TEST_F(ShippedLibrary, AStageDialogOffersOnlyItsRowAndTitlesItself)
{
    HomeFolder home;
    TSongModel song;
    StyleRunState run;
    StyleDialogInput in;
    in.stageIndex = 0;
    in.stageKind = 2;
    in.variation = 0;
    in.fromBaseScreen = false;
    TStyleSelForm form(song, in, true, nullptr, run);
    form.show();
    EXPECT_EQ(form.m_lblTitle->text(), QStringLiteral("---分段设定---"));
    EXPECT_TRUE(form.m_btnPayMny->isVisible()) << "logged in: the account tab is shown";
    EXPECT_FALSE(form.m_radios[12]->isEnabled());
    EXPECT_TRUE(form.m_radios[8]->isEnabled());
    EXPECT_FALSE(form.m_radios[0]->isEnabled());
    form.ClickTab(StyleTab::Categories);
    SavePicture(form, QStringLiteral("style-dialog-stage.png"));
}

TEST_F(ShippedLibrary, ADownloadWithoutTheServiceSaysSoAndLeavesTheEntry)
{
    HomeFolder home;
    TSongModel song;
    StyleRunState run = Library(1);
    run.library.push_back(MakeStyle(50, "Online", 0, -1, SF_STATE_ONLINE));
    QStringList messages;
    TMessageForm::SetScript([&](const QString& text, int) {
        messages << text;
        return static_cast<int>(kResultOk);
    });
    TStyleSelForm form(song, {}, false, nullptr, run);
    form.ReleaseItem(run.IndexOf(50));
    TMessageForm::SetScript({});
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("网络服务未启动")));
    EXPECT_EQ(run.library[1].uiState, 0);
    EXPECT_EQ(run.library[1].info.state, SF_STATE_ONLINE);
}

namespace {
int32_t AcceptDownload(int32_t, MDP_Window) { return 0; }
int g_cancels = 0;
int32_t CountCancel() { return ++g_cancels, 0; }
} // namespace

TEST(StyleSelLogic, AFailedDownloadLeavesTheEntryOnlineAndSaysWhy)
{
    HomeFolder home;
    StyleRunState run = Library(1);
    run.library.push_back(MakeStyle(50, "Online", 0, -1, SF_STATE_ONLINE));
    const auto saved = Engines().cs;
    Engines().cs.CS_DownloadStyle = AcceptDownload;
    Engines().cs.CS_CancelOperation = CountCancel;
    g_cancels = 0;
    TSongModel song;
    song.genreMask = 1;
    QStringList asked;
    int answer = kResultNo;
    TMessageForm::SetScript([&](const QString& text, int flags) {
        asked << QStringLiteral("%1 %2").arg(flags).arg(text);
        return answer;
    });
    {
        TStyleSelForm form(song, {}, false, nullptr, run);
        TStyleSelLogic& logic = form.Logic();
        ASSERT_EQ(logic.StartDownload(1, true, nullptr), 0);
        EXPECT_EQ(run.library[1].uiState, 12);
        EXPECT_EQ(logic.AnimateDownload(), 1);
        EXPECT_EQ(run.library[1].uiState, 3);
        EXPECT_TRUE(logic.OnServiceEvent(100, 0x8003, 50).isEmpty()) << "a server access failure changes nothing";
        EXPECT_TRUE(run.library[1].Downloading());

        // Closing while it runs asks; No keeps the dialog, Yes closes and cancels.
        form.show();
        form.ClickClose();
        EXPECT_EQ(asked, QStringList{QStringLiteral("36 有风格正在下载,退出将停止风格下载?")});
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(g_cancels, 0);

        const QString why = logic.OnServiceEvent(102, CS_ERR_TIMEOUT, 50);
        EXPECT_TRUE(why.contains(QStringLiteral("下载失败"))) << why.toStdString();
        EXPECT_EQ(run.library[1].info.state, SF_STATE_ONLINE);
        EXPECT_FALSE(run.library[1].Downloading());
        EXPECT_TRUE(logic.OnServiceEvent(102, CS_ERR_TIMEOUT, 50).isEmpty()) << "told once";

        ASSERT_EQ(logic.StartDownload(1, false, nullptr), 0);
        answer = kResultYes;
        form.ClickClose();
        EXPECT_FALSE(form.isVisible());
        EXPECT_FALSE(run.library[1].Downloading());
        EXPECT_EQ(g_cancels, 1) << "our download is cancelled";
    }
    TMessageForm::SetScript({});
    Engines().cs = saved;
}
