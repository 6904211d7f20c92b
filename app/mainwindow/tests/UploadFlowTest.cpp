#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <deque>
#include <gtest/gtest.h>

#include "AppSession.h"
#include "EngineTables.h"
#include "FakeEngine.h"
#include "SettingsStore.h"
#include "TMainForm.h"
#include "TUploadFlow.h"
#include "TMessageForm.h"

using namespace melodrift;

namespace {

// What the fake service and engine do, and what they were asked.
struct UploadScript {
    std::deque<int32_t> answers;          // permission first, then each upload
    std::vector<std::string> uploaded;    // paths of uploads with a block
    std::vector<std::string> exported;
    int32_t songId = 4711;
    bool blockOk = true;
};
UploadScript* g_script = nullptr;

int32_t FakeUpload(int32_t, const void* info, const char* path, MDP_Window, CS_UploadResult* result)
{
    const int32_t answer = g_script->answers.empty() ? 0 : g_script->answers.front();
    if (!g_script->answers.empty())
        g_script->answers.pop_front();
    if (info != nullptr) {
        int32_t size = 0;
        std::memcpy(&size, info, sizeof size);
        const auto* bytes = static_cast<const uint8_t*>(info);
        g_script->blockOk = g_script->blockOk && size == 1008 && bytes[236] == 0xFF && bytes[239] == 0xFF;
        g_script->uploaded.push_back(path);
        if (result)
            result->songId = g_script->songId;
    }
    return answer;
}

int32_t FakeSave(MDP_Window window, int32_t tracks, const char* path, int32_t fileType, int32_t*)
{
    g_script->exported.push_back(path);
    QFile file(QString::fromUtf8(path));
    const bool written = tracks == 0 && fileType == 0 && file.open(QIODevice::WriteOnly) && file.write("ID3") == 3;
    MDP_PostMessage(window, written ? UM_PROGRESS_DONE : UM_PROGRESS_FAILED, written ? 0 : 1, 0);
    return written ? 0 : 1;
}

class UploadFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        setenv("MELODRIFT_HOME", m_dir.filePath(QStringLiteral("home")).toUtf8().constData(), 1);
        test::InstallFakeEngine();
        Engines().cs.CS_UploadSong = FakeUpload;
        Engines().mm.MM_Save = FakeSave;
        g_script = &m_script;
        InstallMessageDispatcher();
        TMessageForm::SetScript([this](const QString& text, int) {
            m_messages << text;
            return static_cast<int>(kResultOk);
        });
        m_settings = std::make_unique<TSettingsStore>(m_dir.filePath(QStringLiteral("s.ini")).toStdString());
        m_form = std::make_unique<TMainForm>(m_session, *m_settings);
        m_form->askUploadDetails = [this](std::array<uint8_t, 1008>&, QString& name) {
            ++m_dialogs;
            if (m_names.empty())
                return false;
            name = m_names.front();
            m_names.pop_front();
            return true;
        };
        m_form->showManageSong = [this](int32_t id) {
            m_managed.push_back(id);
            return m_manageResult;
        };
        m_session.song.SetFlag(kFlagLoggedIn, true);
    }

    void TearDown() override
    {
        m_form.reset();
        g_script = nullptr;
        TMessageForm::SetScript({});
        unsetenv("MELODRIFT_HOME");
    }

    QTemporaryDir m_dir;
    AppSession m_session;
    UploadScript m_script;
    std::unique_ptr<TSettingsStore> m_settings;
    std::unique_ptr<TMainForm> m_form;
    std::deque<QString> m_names;
    int m_dialogs = 0;
    std::vector<int32_t> m_managed;
    int m_manageResult = 2;
    QStringList m_messages;
};

} // namespace

TEST_F(UploadFlowTest, ASongWithoutAnMp3IsExportedIntoTheUploadFolderAndUploaded)
{
    m_names = {QStringLiteral("晚风")};
    m_form->UploadSong();
    const std::string expected = (TUploadFlow::UploadFolder() + QStringLiteral("晚风.mp3")).toStdString();
    ASSERT_EQ(m_script.exported, std::vector<std::string>{expected});
    ASSERT_EQ(m_script.uploaded, std::vector<std::string>{expected});
    EXPECT_TRUE(m_script.blockOk);
    EXPECT_EQ(m_managed, std::vector<int32_t>{4711});
    EXPECT_TRUE(m_session.song.Flag(kFlagExported));
    EXPECT_EQ(m_session.app.lastSaveFile, expected);
}

TEST_F(UploadFlowTest, AWavExportIsForgottenAndAnMp3MadeInstead)
{
    const QString wav = m_dir.filePath(QStringLiteral("last.wav"));
    QFile(wav).open(QIODevice::WriteOnly);
    m_session.song.SetFlag(kFlagExported, true);
    m_session.app.lastSaveType = 1;
    m_session.app.lastSaveFile = wav.toStdString();
    m_names = {QStringLiteral("歌")};
    m_form->UploadSong();
    ASSERT_EQ(m_script.exported.size(), 1u);
    ASSERT_EQ(m_script.uploaded.size(), 1u);
    EXPECT_EQ(QFileInfo(QString::fromStdString(m_script.uploaded[0])).suffix(), QStringLiteral("mp3"));

    // An MP3 export that still exists is uploaded as it is.
    const QString mp3 = m_dir.filePath(QStringLiteral("last.mp3"));
    QFile(mp3).open(QIODevice::WriteOnly);
    m_session.app.lastSaveType = 0;
    m_session.app.lastSaveFile = mp3.toStdString();
    m_names = {QStringLiteral("歌")};
    m_form->UploadSong();
    EXPECT_EQ(m_script.exported.size(), 1u);
    ASSERT_EQ(m_script.uploaded.size(), 2u);
    EXPECT_EQ(m_script.uploaded[1], mp3.toStdString());
}

TEST_F(UploadFlowTest, RefusalsCancelsAndLimitsEndOrRepeatTheFlow)
{
    // Limit at the permission check: only the limit form, no upload dialog.
    m_script.answers = {32784};
    m_form->UploadSong();
    EXPECT_EQ(m_managed, std::vector<int32_t>{-1});
    EXPECT_EQ(m_dialogs, 0);

    // A refused permission shows its reason.
    m_script.answers = {32775};
    m_form->UploadSong();
    ASSERT_FALSE(m_messages.isEmpty());
    EXPECT_EQ(m_messages.back(), QStringLiteral("验证失败!\n无效的用户。"));

    // A cancelled upload brings the dialog back; the song is exported once.
    m_managed.clear();
    m_script.answers = {0, 32777, 0};
    m_names = {QStringLiteral("a"), QStringLiteral("a")};
    m_form->UploadSong();
    EXPECT_EQ(m_dialogs, 2);
    EXPECT_EQ(m_script.exported.size(), 1u);
    EXPECT_EQ(m_script.uploaded.size(), 2u);
    EXPECT_EQ(m_managed, std::vector<int32_t>{4711});

    // A failed upload names its reason and ends.
    m_script.answers = {0, 32780};
    m_names = {QStringLiteral("b")};
    m_form->UploadSong();
    EXPECT_EQ(m_messages.back(), QStringLiteral("上传失败!\n文件传输失败。"));
}

TEST_F(UploadFlowTest, TypedNamesStayInsideTheUploadFolderAndNobodyLoggedInUploadsNothing)
{
    m_names = {QStringLiteral("../../etc/passwd")};
    m_form->UploadSong();
    ASSERT_EQ(m_script.exported.size(), 1u);
    const QFileInfo written(QString::fromStdString(m_script.exported[0]));
    EXPECT_EQ(written.absolutePath() + QLatin1Char('/'), TUploadFlow::UploadFolder());

    m_session.song.SetFlag(kFlagLoggedIn, false);
    m_names = {QStringLiteral("c")};
    m_form->UploadSong();
    EXPECT_EQ(m_script.uploaded.size(), 1u);
}
