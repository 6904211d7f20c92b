#include <QDir>
#include <QLabel>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "AppSession.h"
#include "ExportFlow.h"
#include "FakeEngine.h"
#include "Screenshot.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "TSaveForm.h"

using namespace melodrift;

namespace {

TEST(SaveLogicTest, TheOkRuleFollowsTheNameAndTheChecks)
{
    struct Case {
        const char* name;
        int bits;
        const char* toggles;   // c compose, s song
        bool ok;
        int type;
        int bitsAfter;
    };
    const Case cases[] = {
        {"/m/song.WAV", 3, "", true, kExportWav, 3},
        {"/m/song.WAV", 3, "c", true, kExportWav, 1},
        {"/m/song.WAV", 3, "cs", false, kExportWav, 0},
        {"/m/song.mp3", 0, "s", true, kExportMp3, 1},
        {"/m/song.Mp3", 1, "", true, kExportMp3, 1},
        {"/m/song", 3, "", false, kExportMp3, 3},
        {"", 3, "", false, kExportMp3, 3},
        {"/m/song.ogg", 3, "", false, kExportMp3, 3},
        // A MIDI file's tracks are fixed: the checks do not move, OK stays.
        {"/m/song.mid", 3, "cs", true, kExportMidi, 3},
        {"/m/song.MID", 0, "c", true, kExportMidi, 0},
    };
    for (const Case& c : cases) {
        SaveDialogState s(kExportMp3, c.bits, QString::fromUtf8(c.name));
        s.Activate();
        for (const char* t = c.toggles; *t; ++t)
            (*t == 'c') ? s.ToggleCompose() : s.ToggleSong();
        EXPECT_EQ(s.OkEnabled(), c.ok) << c.name << " " << c.toggles;
        EXPECT_EQ(s.FileType(), c.type) << c.name;
        EXPECT_EQ(s.TrackBits(), c.bitsAfter) << c.name << " " << c.toggles;
    }
}

TEST(SaveLogicTest, BrowsingStartsOnTheFilterOfTheName)
{
    struct Case {
        const char* name;
        int typeBefore;
        int filter;
        const char* suffix;
        const char* folder;
        const char* file;
    };
    const Case cases[] = {
        {"/music/a.mp3", kExportWav, 1, "mp3", "/music", "a.mp3"},
        {"/music/b.WAV", kExportMp3, 2, "wav", "/music", "b.WAV"},
        {"/music/c.mid", kExportMp3, 3, "mid", "/music", "c.mid"},
        {"/music/d.txt", kExportWav, 2, "wav", "/music", "d.txt"},
        {"", kExportMp3, 1, "mp3", "", ""},
    };
    for (const Case& c : cases) {
        SaveDialogState s(c.typeBefore, 3, QString::fromUtf8(c.name));
        const FileDialogStart start = s.BrowseStart();
        EXPECT_EQ(start.filterIndex, c.filter) << c.name;
        EXPECT_EQ(start.defaultSuffix, QString::fromUtf8(c.suffix)) << c.name;
        EXPECT_EQ(start.folder, QString::fromUtf8(c.folder)) << c.name;
        EXPECT_EQ(start.fileName, QString::fromUtf8(c.file)) << c.name;
    }
}

TEST(SaveFormTest, ClicksOnTheChecksAndTheBrowseButtonReachTheState)
{
    TSaveForm form(kExportMp3, 3, QStringLiteral("/music/old.wav"));
    form.show();
    EXPECT_EQ(form.FileType(), kExportWav);
    EXPECT_TRUE(form.m_btnOk->Enabled());
    QTest::mouseClick(form.m_imgComposeCheck, Qt::LeftButton);
    QTest::mouseClick(form.m_imgSongCheck, Qt::LeftButton);
    EXPECT_FALSE(form.ComposeChecked());
    EXPECT_FALSE(form.SongChecked());
    EXPECT_FALSE(form.m_btnOk->Enabled());
    QTest::mouseClick(form.m_imgSongCheck, Qt::LeftButton);
    EXPECT_TRUE(form.m_btnOk->Enabled());

    FileDialogStart seen;
    TSaveForm::SetChooseFile([&](const FileDialogStart& start, const QString&) {
        seen = start;
        return QStringLiteral("/music/新歌.mp3");
    });
    QTest::mouseClick(form.m_btnBrowse, Qt::LeftButton);
    TSaveForm::SetChooseFile({});
    EXPECT_EQ(seen.filterIndex, 2);
    EXPECT_EQ(form.FileName(), QStringLiteral("/music/新歌.mp3"));
    EXPECT_TRUE(form.m_btnOk->Enabled());
    EXPECT_TRUE(test::SaveScreenshot(form, QStringLiteral("save-dialog")));

    TSaveForm empty(kExportMp3, 3, QString());
    empty.show();
    EXPECT_FALSE(empty.m_btnOk->Enabled());
    EXPECT_TRUE(test::SaveScreenshot(empty, QStringLiteral("save-dialog-empty")));
    QTest::keyClick(&empty, Qt::Key_Return);
    EXPECT_TRUE(empty.isVisible());   // Enter does nothing while OK is disabled
    QTest::keyClick(&empty, Qt::Key_Escape);
    EXPECT_EQ(empty.result(), 2);
}

// The export flow with a scripted engine: what reaches MM_Save, what the user
// is told and what is remembered.
struct ExportSeen {
    std::string path;
    int32_t tracks = -1, type = -1;
    int calls = 0;
    intptr_t fail = 0;   // 0: succeed
};
ExportSeen* g_seen = nullptr;

int32_t ScriptedSave(MDP_Window window, int32_t tracks, const char* path, int32_t type, int32_t*)
{
    ++g_seen->calls;
    g_seen->path = path;
    g_seen->tracks = tracks;
    g_seen->type = type;
    if (g_seen->fail)
        MDP_PostMessage(window, UM_PROGRESS_FAILED, g_seen->fail, 0);
    else
        MDP_PostMessage(window, UM_PROGRESS_DONE, 0, 0);
    return g_seen->fail ? static_cast<int32_t>(g_seen->fail) : 0;
}

TEST(ExportFlowTest, TheChosenFileAndTracksAreExportedAndRemembered)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString keep = QDir::currentPath();
    struct Case {
        const char* file;
        const char* toggles;      // clicks on the checks in the dialog
        int dialogResult;
        intptr_t fail;
        int tracks, type;
        const char* message;      // empty: none
        bool exported;
    };
    const Case cases[] = {
        {"song.MP3", "", 1, 0, 3, kExportMp3, "文件已存储。", true},
        {"song.wav", "s", 1, 0, 2, kExportWav, "文件已存储。", true},
        {"song.mid", "", 1, 0, 3, kExportMidi, "文件已存储。", true},
        {"song.mp3", "", 2, 0, -1, -1, "", false},
        {"song.wav", "", 1, MM_ERR_IO, 3, kExportWav, "文件存储失败！", false},
    };
    for (const Case& c : cases) {
        test::InstallFakeEngine();
        ExportSeen seen;
        seen.fail = c.fail;
        g_seen = &seen;
        Engines().mm.MM_Save = ScriptedSave;
        AppSession session;
        session.app.lastSaveFile = dir.filePath(QStringLiteral("old.mp3")).toStdString();
        session.app.lastSaveOption = 3;
        QStringList messages;
        TMessageForm::SetScript([&](const QString& text, int) {
            messages << text;
            return 1;
        });
        const QString target = dir.filePath(QString::fromUtf8(c.file));
        TSaveForm::SetScript([&](TSaveForm& form) {
            form.SetFileName(target);
            for (const char* t = c.toggles; *t; ++t)
                (*t == 'c') ? form.ComposeCheckClick() : form.SongCheckClick();
            return c.dialogResult;
        });
        RunExportFlow(nullptr, session);
        TSaveForm::SetScript({});
        TMessageForm::SetScript({});
        g_seen = nullptr;

        if (c.dialogResult != 1) {
            EXPECT_EQ(seen.calls, 0) << c.file;
            EXPECT_EQ(session.app.lastSaveFile, dir.filePath(QStringLiteral("old.mp3")).toStdString());
        } else {
            EXPECT_EQ(seen.path, target.toStdString()) << c.file;
            EXPECT_EQ(seen.tracks, c.tracks) << c.file;
            EXPECT_EQ(seen.type, c.type) << c.file;
            EXPECT_EQ(session.app.lastSaveFile, target.toStdString()) << c.file;
            EXPECT_EQ(session.app.lastSaveType, c.type) << c.file;
            EXPECT_EQ(session.app.lastSaveOption, c.tracks) << c.file;
        }
        if (*c.message) {
            ASSERT_EQ(messages.size(), 1) << c.file;
            EXPECT_TRUE(messages[0].startsWith(QString::fromUtf8(c.message))) << c.file;
        } else {
            EXPECT_TRUE(messages.isEmpty()) << c.file;
        }
        EXPECT_EQ(session.song.Flag(kFlagExported), c.exported) << c.file;
        // The last file's folder became the current one.
        EXPECT_EQ(QDir::currentPath(), QDir(dir.path()).canonicalPath()) << c.file;
        QDir::setCurrent(keep);
    }
}

} // namespace
