#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "FakeEngine.h"
#include "LoginRecord.h"
#include "SettingsStore.h"
#include "SongModel.h"
#include "TempFolder.h"

namespace melodrift {
namespace {

namespace fs = std::filesystem;
using test::Fake;

class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::InstallFakeEngine();
        m_path = (m_dir / "Melodrift.ini").string();
    }

    QByteArray FloatBytes(float v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); }

    testsupport::TempFolder m_folder{"appcore_settings"};
    fs::path m_dir = m_folder.Path();
    std::string m_path;
};

TEST_F(Settings, FirstStartKeepsEveryDefault)
{
    TSettingsStore store(m_path);
    TSongModel song;
    AppSettings app;
    store.ReadSettings(song, app);
    EXPECT_EQ(song.tempo, 75);
    EXPECT_EQ(song.metre, 0);
    EXPECT_FLOAT_EQ(song.recordVolume, -1);
    EXPECT_FLOAT_EQ(song.speakerVolume, -1);
    EXPECT_TRUE(song.Flag(kFlagAutoLevel));
    EXPECT_EQ(app.recordDevice, -1);
    EXPECT_EQ(app.lastSaveOption, 3);
    EXPECT_TRUE(app.recentProjects.empty());
    EXPECT_TRUE(Fake().tempoCalls.empty()) << "nothing read, nothing applied";
}

TEST_F(Settings, ValuesOutsideTheirRangeReadAsTheirFallback)
{
    struct Case {
        const char* name;
        QVariant value;
        int tempo, metre;
        float record, speaker;
    };
    const Case cases[] = {
        {"Tempo", 30, 75, 0, -1, -1},
        {"Tempo", 201, 75, 0, -1, -1},
        {"Tempo", 200, 200, 0, -1, -1},
        {"Tempo", QString("fast"), 75, 0, -1, -1},      // wrong type: ignored
        {"TimeSignature", 7, 75, 0, -1, -1},
        {"TimeSignature", 3, 75, 3, -1, -1},
        {"TimeSignature", -1, 75, 0, -1, -1},
        {"RecordVolume", FloatBytes(1.5f), 75, 0, 1, -1},
        {"RecordVolume", FloatBytes(-0.5f), 75, 0, 1, -1},
        {"RecordVolume", FloatBytes(0.25f), 75, 0, 0.25f, -1},
        {"RecordVolume", FloatBytes(-1.0f), 75, 0, -1, -1},  // "engine default" survives
        {"RecordVolume", QByteArray("abc"), 75, 0, -1, -1},  // wrong size: ignored
        {"SpeakerVolume", FloatBytes(2.0f), 75, 0, -1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " " << c.value.toString().toStdString());
        fs::remove(m_path);
        {
            QSettings raw(QString::fromStdString(m_path), QSettings::IniFormat);
            raw.setValue("WindowState", 0);
            raw.setValue(c.name, c.value);
        }
        TSettingsStore store(m_path);
        TSongModel song;
        AppSettings app;
        store.ReadSettings(song, app);
        EXPECT_EQ(song.tempo, c.tempo);
        EXPECT_EQ(song.metre, c.metre);
        EXPECT_FLOAT_EQ(song.recordVolume, c.record);
        EXPECT_FLOAT_EQ(song.speakerVolume, c.speaker);
    }
}

TEST_F(Settings, WrittenValuesReadBack)
{
    TSongModel song;
    song.tempo = 132;
    song.metre = 2;
    song.recordVolume = 0.4f;
    song.timbreLibraryName = "Grand.sf2";
    song.SetFlag(kFlagAutoLevel, false);
    song.SetFlag(kFlagChordLetters, true);
    song.SetFlag(kFlagShowRecordHint, false);
    AppSettings app;
    app.recordDevice = 3;
    app.recordInput = 1;
    app.recordDeviceName = std::string("USB \xE9\xBA\xA6\xE5\x85\x8B\xE9\xA3\x8E") + std::string(300, 'x');
    app.lastSaveType = 1;
    app.lastSaveFile = "/home/u/歌.wav";
    app.windowState = 2;
    app.recentProjects = {"/a.cpj", "/b.cpj"};
    TSettingsStore(m_path).WriteSettings(song, app);

    TSongModel readSong;
    AppSettings readApp;
    TSettingsStore(m_path).ReadSettings(readSong, readApp);
    EXPECT_EQ(readSong.tempo, 132);
    EXPECT_EQ(readSong.metre, 2);
    EXPECT_FLOAT_EQ(readSong.recordVolume, 0.4f);
    EXPECT_FLOAT_EQ(readSong.speakerVolume, -1);
    EXPECT_EQ(readSong.timbreLibraryName, "Grand.sf2");
    EXPECT_FALSE(readSong.Flag(kFlagAutoLevel));
    EXPECT_TRUE(readSong.Flag(kFlagChordLetters));
    EXPECT_FALSE(readSong.Flag(kFlagShowRecordHint));
    EXPECT_EQ(readApp.recordDevice, 3);
    EXPECT_EQ(readApp.recordInput, 1);
    EXPECT_EQ(readApp.recordDeviceName, app.recordDeviceName.substr(0, kMaxDeviceName));
    EXPECT_EQ(readApp.lastSaveType, 1);
    EXPECT_EQ(readApp.lastSaveFile, app.lastSaveFile);
    EXPECT_EQ(readApp.windowState, 2);
    EXPECT_EQ(readApp.recentProjects, app.recentProjects);
    EXPECT_EQ(Fake().tempoCalls, (std::vector<int>{132}));
    EXPECT_EQ(Fake().metreCalls, (std::vector<int>{2}));
}

TEST_F(Settings, RecentProjectsKeepSixAndDropLeftovers)
{
    AppSettings app;
    for (int i = 1; i <= 7; ++i)
        AddRecentProject(app, "/p" + std::to_string(i) + ".cpj");
    EXPECT_EQ(app.recentProjects.size(), 6u);
    EXPECT_EQ(app.recentProjects.front(), "/p7.cpj");
    EXPECT_EQ(app.recentProjects.back(), "/p2.cpj");
    AddRecentProject(app, "/P4.CPJ");
    EXPECT_EQ(app.recentProjects.front(), "/P4.CPJ");
    EXPECT_EQ(app.recentProjects.size(), 6u) << "the same path in another case moves to the front";
    TSongModel song;
    TSettingsStore(m_path).WriteSettings(song, app);

    RemoveRecentProject(app, "/p7.cpj");
    ASSERT_EQ(app.recentProjects.size(), 5u);
    TSettingsStore(m_path).WriteSettings(song, app);
    QSettings raw(QString::fromStdString(m_path), QSettings::IniFormat);
    EXPECT_TRUE(raw.contains("RecentProject5"));
    EXPECT_FALSE(raw.contains("RecentProject6")) << "the leftover sixth value is deleted";

    raw.remove("RecentProject2");
    raw.sync();
    AppSettings read;
    TSettingsStore(m_path).ReadSettings(song, read);
    EXPECT_EQ(read.recentProjects.size(), 4u) << "an absent value is skipped";
    EXPECT_EQ(read.recentProjects[1], app.recentProjects[2]);
}

TEST_F(Settings, AutoSaveValuesAreKeptApart)
{
    TSongModel song;
    song.SetFlag(kFlagAutoSaved, true);
    song.projectPath = "/x/y.cpj";
    TSettingsStore store(m_path);
    store.WriteAutoSaveSettings(song);
    store.WriteSettings(TSongModel{}, AppSettings{});
    TSongModel read;
    AppSettings app;
    store.ReadSettings(read, app);
    EXPECT_TRUE(read.Flag(kFlagAutoSaved)) << "writing the settings leaves the auto-save values";
    store.ReadAutoSaveProject(read);
    EXPECT_EQ(read.projectPath, "/x/y.cpj");
}

TEST_F(Settings, RememberedLogin)
{
    struct Case {
        std::string name, password;
        bool remember, autoLogin;
        size_t recordSize;
    };
    const Case cases[] = {
        {"alice", "secret", true, true, 5 + 18},
        {"alice", "secret", false, false, 5 + 1},
        {"bob", std::string(16, 'p'), true, true, 3 + 18},
        {"bob", std::string(17, 'p'), true, false, 3 + 1},  // too long to keep: not remembered
        {"\xE5\xBC\xA0\xE4\xB8\x89", "\x01\xFFok", true, true, 6 + 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TSettingsStore store(m_path);
        store.StoreLogin(c.name, c.remember, c.password);
        const QByteArray raw = store.Raw().value("{0DF44EAA-FF21-4412-828E-260A8728E7F1}").toByteArray();
        EXPECT_EQ(static_cast<size_t>(raw.size()), c.recordSize);
        EXPECT_FALSE(raw.contains(QByteArray::fromStdString(c.name))) << "not kept in the clear";
        std::string name, password;
        EXPECT_EQ(store.LoadLogin(name, password), c.autoLogin);
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(password, c.autoLogin ? c.password : "");
        EXPECT_EQ(QFile::permissions(QString::fromStdString(m_path)) & (QFile::ReadOther | QFile::ReadGroup), 0)
            << "only the user may read the file holding the login";
    }
    TSettingsStore store(m_path);
    store.ForgetLogin();
    std::string name, password;
    EXPECT_FALSE(store.LoadLogin(name, password));
}

TEST(LoginRecord, DamagedRecordsGiveNoLogin)
{
    EXPECT_FALSE(DecodeLogin({}));
    EXPECT_FALSE(DecodeLogin({5, 1, 2}));                     // name shorter than its length byte
    std::vector<uint8_t> badPassword = EncodeLogin("ab", true, "pw");
    badPassword[3] = 40;                                       // password length above 16
    EXPECT_FALSE(DecodeLogin(badPassword));
    EXPECT_FALSE(DecodeLogin(std::vector<uint8_t>(261, 0)));
    const auto odd = DecodeLogin({2, 10, 11, 9, 9});           // neither n + 1 nor n + 18
    ASSERT_TRUE(odd);
    EXPECT_FALSE(odd->hasPassword);
    EXPECT_EQ(odd->userName.size(), 2u);
}

} // namespace
} // namespace melodrift
