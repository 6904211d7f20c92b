// From a recognised melody and a base accompaniment to an exported song in
// the window alone: the song form built by drag and drop, composed, a final
// take recorded through the file device, MP3, WAV and MIDI exported, the
// project saved and opened again in a fresh window. Real libraries.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <deque>
#include <set>
#include <gtest/gtest.h>

#include "AppSession.h"
#include "EngineBinding.h"
#include "EngineTables.h"
#include "MessageDispatcher.h"
#include "MidiSummary.h"
#include "Patbank.h"
#include "Pipeline.h"
#include "SungTake.h"
#include "WavFile.h"
#include "PlaybackClock.h"
#include "RegisterScreens.h"
#include "Screenshot.h"
#include "ScreenRegistry.h"
#include "SettingsStore.h"
#include "TComposeForm.h"
#include "TCompleteForm.h"
#include "TComposePanel.h"
#include "TMainForm.h"
#include "MessageScript.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "TSaveForm.h"

using namespace melodrift;

namespace {

constexpr int kTempo = 100;

// Seconds of an MPEG-1 layer III file: its frames times 1152 samples.
double Mp3Seconds(const QByteArray& bytes)
{
    static const int kBitrates[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int kRates[4] = {44100, 48000, 32000, 0};
    qsizetype i = 0;
    if (bytes.startsWith("ID3") && bytes.size() > 10)
        i = 10 + ((bytes[6] & 0x7F) << 21 | (bytes[7] & 0x7F) << 14 | (bytes[8] & 0x7F) << 7 | (bytes[9] & 0x7F));
    long frames = 0;
    int rate = 0;
    while (i + 4 <= bytes.size()) {
        const auto b = [&](qsizetype k) { return static_cast<uint8_t>(bytes[i + k]); };
        if (b(0) != 0xFF || (b(1) & 0xFE) != 0xFA) {
            ++i;
            continue;
        }
        const int bitrate = kBitrates[b(2) >> 4] * 1000;
        rate = kRates[(b(2) >> 2) & 3];
        if (bitrate == 0 || rate == 0) {
            ++i;
            continue;
        }
        i += 144 * bitrate / rate + ((b(2) >> 1) & 1);
        ++frames;
    }
    return rate ? frames * 1152.0 / rate : 0;
}

double WavSeconds(const QByteArray& bytes)
{
    if (bytes.size() < 44)
        return 0;
    uint32_t rate = 0, byteRate = 0;
    std::memcpy(&rate, bytes.constData() + 24, 4);
    std::memcpy(&byteRate, bytes.constData() + 28, 4);
    const qsizetype data = bytes.indexOf("data");
    if (data < 0 || byteRate == 0)
        return 0;
    uint32_t size = 0;
    std::memcpy(&size, bytes.constData() + data + 4, 4);
    return static_cast<double>(size) / byteRate;
}

// Receives what the engine posts about a melody take.
class TakeTarget : public QObject, public TMessageTarget {
public:
    TakeTarget() { RegisterMessageTarget(this, this); }
    ~TakeTarget() override { UnregisterMessageTarget(this); }
    intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override
    {
        if (message == UM_TAKE_RECOGNISED) {
            recognised = true;
            bars = static_cast<int>((lParam >> 16) & 0xFFFF);
        }
        (void)wParam;
        return 1;
    }
    bool event(QEvent* e) override { return DeliverMessageEvent(this, e) || QObject::event(e); }
    bool recognised = false;
    int bars = 0;
};

bool WaitUntil(const std::function<bool()>& done, int seconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > seconds * 1000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// What Qt delivers during a drag: the press to the list's viewport, then
// moves and the release to the same viewport (the pointer is grabbed), with
// the global position of wherever the pointer is.
void Drag(QWidget* from, const QPoint& at, QWidget* target, const QPoint& targetAt)
{
    QTest::mousePress(from, Qt::LeftButton, {}, at);
    const QPointF global = target->mapToGlobal(QPointF(targetAt));
    const QPointF local = from->mapFromGlobal(global);
    QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(from, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(from, &release);
}

std::vector<int> Refs(const TSongModel& song)
{
    std::vector<int> refs;
    for (const auto& s : song.songForm)
        refs.push_back(s.ref);
    return refs;
}

class FinishEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        setenv("MELODRIFT_HOME", m_dir.filePath(QStringLiteral("home")).toUtf8().constData(), 1);
        setenv("MELODRIFT_SERVICE", "127.0.0.1:9", 1);
        InstallMessageDispatcher();
        ASSERT_EQ(BindEngineLibraries(), 0);
        m_settings = std::make_unique<TSettingsStore>(m_dir.filePath(QStringLiteral("settings.ini")).toStdString());
        RegisterFinishScreens();
        const QString take = m_dir.filePath(QStringLiteral("take.wav"));
        // C major: a bar of count-in and a bar of waiting, then four bars.
        const std::vector<testsupport::SungNote> melody = {{60, 1}, {62, 1}, {64, 1}, {65, 1}, {67, 2},
                                                           {65, 1}, {64, 1}, {62, 1}, {64, 1}, {62, 1},
                                                           {60, 1}, {64, 1}, {67, 1}, {72, 2}};
        ASSERT_TRUE(testsupport::WriteWav(take.toStdString(), testsupport::ToPcm16(testsupport::Sing(melody, kTempo, 8))));
        setenv("MELODRIFT_AUDIO", ("file:" + take.toStdString()).c_str(), 1);
    }

    void StartForm()
    {
        m_form = std::make_unique<TMainForm>(m_session, *m_settings);
        m_form->show();
        ASSERT_TRUE(m_form->InitialiseEngines({}));
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    void StopForm()
    {
        if (m_form) {
            m_form->ShutdownWindow();
            m_form.reset();
        }
    }

    void TearDown() override
    {
        StopForm();
        ClearScreenRegistry();
        TSaveForm::SetScript({});
        unsetenv("MELODRIFT_HOME");
        unsetenv("MELODRIFT_SERVICE");
        unsetenv("MELODRIFT_AUDIO");
    }

    // A style of 4/4 with intros 1 and 2 and an outro.
    int32_t StyleWithSections()
    {
        const auto& sm = Engines().sm;
        int32_t count = 0;
        if (sm.SM_GetStyleInfos(0, nullptr, &count) == -1 || count <= 0)
            return -1;
        std::vector<tagStyleInfo> infos(static_cast<size_t>(count));
        sm.SM_GetStyleInfos(0, infos.data(), &count);
        for (int i = 0; i < count && i < static_cast<int>(infos.size()); ++i)
            if (infos[i].state == SF_STATE_INSTALLED && sm.SM_CheckStyle(infos[i].id) &&
                sm.SM_GetSegmentBarNum(kIntroRef + 1, infos[i].id) > 0 &&
                sm.SM_GetSegmentBarNum(kOutroRef, infos[i].id) > 0)
                return infos[i].id;
        return -1;
    }

    QTemporaryDir m_dir;
    AppSession m_session;
    std::unique_ptr<TSettingsStore> m_settings;
    std::unique_ptr<TMainForm> m_form;
    test::MessageScript m_messages;
    QStringList& m_shown = m_messages.shown;
    std::deque<int>& m_replies = m_messages.replies;
};

TEST_F(FinishEndToEnd, ASungMelodyBecomesAnExportedSongInTheWindow)
{
    StartForm();
    TSongModel& song = m_session.song;
    SetMetre(song, 0, true);
    SetTempo(song, kTempo, true);

    // The recognised melody and its base accompaniment.
    TakeTarget take;
    ASSERT_EQ(Engines().mm.MM_Record(WindowHandle(&take), 0, -1, -1, MM_RECORD_MELODY), 0);
    ASSERT_TRUE(WaitUntil([&] { return take.recognised; }, 120));
    ASSERT_GE(take.bars, 3);
    int32_t key = -1;
    Engines().mm.MM_GetMelodyInfo(&key, 0, 0);
    song.key = key;
    for (int i = 0; i < take.bars; ++i)
        song.AddBar();
    SubmitMelody(song);
    song.SetFlag(kFlagMelody, true);
    song.styleId = StyleWithSections();
    ASSERT_GT(song.styleId, 0);
    ASSERT_TRUE(BaseCompose(song));
    ASSERT_FALSE(song.stages.empty());
    const int melodyStage = song.Flag(kFlagLeadingRest) && song.stages[0].lastBar == 0 ? 1 : 0;

    // Page 3 builds the default form and composes it.
    m_form->HandleMessage(UM_GOTO_STEP, 3, 0);
    ASSERT_EQ(m_form->CurrentPage(), 3);
    auto* compose = dynamic_cast<TComposeForm*>(m_form->Page(3));
    ASSERT_NE(compose, nullptr);
    EXPECT_TRUE(song.Flag(kFlagComposed));
    ASSERT_FALSE(song.songForm.empty());
    EXPECT_EQ(compose->m_lbCompose->count(), static_cast<int>(song.songForm.size()));

    // Empty the form by dropping every stage on the remove target; leaving
    // with an empty form is refused and the page stays.
    QWidget* composeList = compose->m_lbCompose->viewport();
    const QPoint removeAt = compose->m_imgDelete->rect().center();
    while (compose->m_lbCompose->count() > 0)
        Drag(composeList, compose->m_lbCompose->visualItemRect(compose->m_lbCompose->item(0)).center(),
             compose->m_imgDelete, removeAt);
    EXPECT_TRUE(song.songForm.empty());
    m_replies = {kResultYes};
    m_form->HandleMessage(UM_GOTO_STEP, 4, 0);
    EXPECT_EQ(m_form->CurrentPage(), 3);
    EXPECT_TRUE(m_shown.contains(QStringLiteral("曲式结构不能为空!")));

    // i1 A A i2 A o1, each dragged from the resource list to the end of the
    // compose list; an outro dragged into the middle is refused.
    auto resourceRow = [&](int ref) {
        for (int r = 0; r < compose->m_lbResource->count(); ++r)
            if (compose->m_lbResource->item(r)->data(Qt::UserRole).toInt() == ref)
                return r;
        return -1;
    };
    auto dropAtEnd = [&](int ref) {
        const int row = resourceRow(ref);
        ASSERT_GE(row, 0) << ref;
        const QPoint at = compose->m_lbResource->visualItemRect(compose->m_lbResource->item(row)).center();
        const int n = compose->m_lbCompose->count();
        Drag(compose->m_lbResource->viewport(), at, composeList, QPoint(20, n * 20 + 5));
    };
    for (int ref : {kIntroRef, melodyStage, melodyStage, kIntroRef + 1, melodyStage, kOutroRef})
        dropAtEnd(ref);
    const std::vector<int> expected = {kIntroRef, melodyStage, melodyStage, kIntroRef + 1, melodyStage, kOutroRef};
    ASSERT_EQ(Refs(song), expected);
    Drag(compose->m_lbResource->viewport(),
         compose->m_lbResource->visualItemRect(compose->m_lbResource->item(resourceRow(kOutroRef + 0))).center(),
         composeList, QPoint(20, 2 * 20 + 2));
    EXPECT_EQ(Refs(song), expected) << "an outro in the middle is refused";

    compose->m_sliderVoice->setValue(80);
    compose->m_sliderMusic->setValue(65);
    ASSERT_TRUE(compose->m_btnReload->Enabled());
    QTest::mouseClick(compose->m_btnReload, Qt::LeftButton);
    EXPECT_FALSE(compose->m_btnReload->Enabled()) << "composed: nothing pending";
    EXPECT_TRUE(song.Flag(kFlagComposed));
    compose->SelectStage(1);
    EXPECT_TRUE(test::SaveScreenshot(*m_form, QStringLiteral("page3-song-form")));
    compose->SelectStage(-1);
    compose->SetPanelMode(3);
    EXPECT_TRUE(test::SaveScreenshot(*m_form, QStringLiteral("page3-lists-put-away")));
    compose->SetPanelMode(1);
    EXPECT_TRUE(test::SaveScreenshot(*m_form, QStringLiteral("page3-resources-shrunk")));
    compose->SetPanelMode(0);

    // The record screen leaves each melody bar with its level curve.
    for (size_t b = 0; b < song.bars.size(); ++b)
        for (int c = 0; c < 120; ++c) {
            const int v = static_cast<int>(12000 + 9000 * std::sin((b * 120 + c) / 9.0));
            song.bars[b].levels[c] = v | (v << 16);
        }

    // Page 4: the final take through the file device.
    m_form->HandleMessage(UM_GOTO_STEP, 4, 0);
    ASSERT_EQ(m_form->CurrentPage(), 4);
    auto* complete = dynamic_cast<TCompleteForm*>(m_form->Page(4));
    ASSERT_NE(complete, nullptr);
    int bars = 0;
    for (const auto& s : song.songForm)
        bars += s.barCount;
    ASSERT_EQ(static_cast<int>(song.barVols.size()), bars);
    QTest::mouseClick(complete->m_btnRecord, Qt::LeftButton);
    ASSERT_TRUE(complete->IsRecording());
    ASSERT_TRUE(WaitUntil([&] { return !complete->IsRecording(); }, 120));
    ASSERT_TRUE(WaitUntil([&] { return song.Flag(kFlagFinalTake); }, 30));
    const int32_t takeLength = Engines().mm.MM_GetStreamLength(5);
    EXPECT_GT(takeLength, 0);
    EXPECT_NE(song.barVols[2].levels, decltype(song.barVols[2].levels){}) << "melody bars start with their levels";
    EXPECT_TRUE(test::SaveScreenshot(*m_form, QStringLiteral("page4-complete")));

    // A take stopped at once keeps the one before.
    const auto levelsBefore = song.barVols;
    QTest::mouseClick(complete->m_btnRecord, Qt::LeftButton);
    ASSERT_TRUE(complete->IsRecording());
    QTest::mouseClick(complete->m_btnStop, Qt::LeftButton);
    EXPECT_FALSE(complete->IsRecording());
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(Engines().mm.MM_GetStreamLength(5), takeLength);
    for (size_t b = 0; b < levelsBefore.size(); ++b)
        EXPECT_EQ(song.barVols[b].levels, levelsBefore[b].levels) << "bar " << b;
    EXPECT_TRUE(song.Flag(kFlagFinalTake));

    // Export the three files through the save and progress dialogs.
    const double songSeconds = bars * 4 * 60.0 / kTempo;
    for (const char* name : {"song.mp3", "song.wav", "song.mid"}) {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        TSaveForm::SetScript([&](TSaveForm& f) {
            f.SetFileName(path);
            return f.OkEnabled() ? 1 : 2;
        });
        m_shown.clear();
        QTest::mouseClick(complete->m_btnSave, Qt::LeftButton);
        ASSERT_TRUE(WaitUntil([&] { return !m_shown.isEmpty(); }, 120)) << name;
        EXPECT_EQ(m_shown.value(0), QStringLiteral("文件已存储。")) << name;
        EXPECT_TRUE(QFile::exists(path)) << name;
    }
    QFile mp3(m_dir.filePath(QStringLiteral("song.mp3")));
    ASSERT_TRUE(mp3.open(QIODevice::ReadOnly));
    EXPECT_NEAR(Mp3Seconds(mp3.readAll()), songSeconds, 3.0) << "the form at the song's tempo";
    QFile wav(m_dir.filePath(QStringLiteral("song.wav")));
    ASSERT_TRUE(wav.open(QIODevice::ReadOnly));
    EXPECT_NEAR(WavSeconds(wav.readAll()), songSeconds, 3.0);
    EXPECT_TRUE(song.Flag(kFlagExported));
    EXPECT_TRUE(QDir(m_dir.path()).entryList({QStringLiteral("*.tmp*"), QStringLiteral(".*song*")},
                                             QDir::Files | QDir::Hidden).isEmpty())
        << "no temporary file is left";

    // The MIDI file carries the recognised melody as a named track of its own.
    std::vector<int8_t> pitches(1024);
    std::vector<uint16_t> lengths(1024);
    const int notes = Engines().mm.MM_GetMelody(pitches.data(), lengths.data(), song.key);
    ASSERT_GT(notes, 0);
    QStringList sung;
    for (int i = 0; i < notes && i < 1024; ++i)
        if (pitches[i] > 0)
            sung << QString::number(pitches[i]);
    const testsupport::MidiSummary midi = testsupport::SummariseMidi(m_dir.filePath(QStringLiteral("song.mid")).toStdString());
    ASSERT_TRUE(midi.ok) << midi.error;
    const auto melodyTrack = std::find_if(midi.tracks.begin(), midi.tracks.end(),
                                          [](const testsupport::MidiTrackSummary& t) { return t.name == "Melody"; });
    ASSERT_NE(melodyTrack, midi.tracks.end());
    QStringList played;
    std::set<int> channels;
    for (const testsupport::MidiNoteOn& n : melodyTrack->notes) {
        played << QString::number(n.note);
        channels.insert(n.channel);
    }
    // Every melody stage of the form plays the recognised notes once more.
    ASSERT_FALSE(played.isEmpty());
    EXPECT_EQ(played.mid(0, sung.size()), sung) << played.join(QLatin1Char(' ')).toStdString();
    // Beside the accompaniment's tracks, on one channel that is not the
    // drums', with one lead instrument.
    EXPECT_GE(midi.tracks.size(), 2u);
    EXPECT_EQ(channels.size(), 1u);
    EXPECT_EQ(channels.count(9), 0u);
    EXPECT_EQ(melodyTrack->programs, std::vector<int>{80});

    // Save the project and open it in a fresh window.
    const QString project = m_dir.filePath(QStringLiteral("song.cpj"));
    m_form->chooseSavePath = [&](const QString&) { return project; };
    m_form->SaveProjectCommand(true);
    EXPECT_TRUE(m_shown.contains(QStringLiteral("工程文件保存成功。")));
    const std::vector<int> form = Refs(song);
    const std::vector<tagBarVols> levels = song.barVols;
    const float voice = song.voiceVolume, accompaniment = song.accompanimentVolume;
    StopForm();
    m_session.song = TSongModel();
    // A fresh program binds the libraries, which starts the composer; the
    // closed window released it.
    ASSERT_EQ(Engines().sm.SM_Initialize(), 0);
    StartForm();
    m_form->OpenProjectCommand(project);
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(Refs(m_session.song), form) << m_shown.join(QLatin1Char('|')).toStdString();
    ASSERT_EQ(m_session.song.barVols.size(), levels.size());
    for (size_t b = 0; b < levels.size(); ++b)
        EXPECT_EQ(m_session.song.barVols[b].levels, levels[b].levels) << "bar " << b;
    EXPECT_FLOAT_EQ(voice, 0.8f);
    EXPECT_FLOAT_EQ(m_session.song.voiceVolume, voice);
    EXPECT_FLOAT_EQ(m_session.song.accompanimentVolume, accompaniment);
    EXPECT_GT(Engines().mm.MM_GetStreamLength(5), 0) << "the final take came back";
}

} // namespace
