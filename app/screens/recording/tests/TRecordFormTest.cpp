// The record screen in the program's window over the real libraries, with a
// generated sung take as the microphone (the engine's file device).
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <algorithm>

#include "RecordWidgets.h"
#include "RecordingFixture.h"
#include "TPNGButton.h"
#include "TRecordBarsPanel.h"
#include "TRecordForm.h"
#include "TSetupForm.h"
#include "TestSignals.h"

namespace melodrift {
namespace {

using sonobox::test::SungNote;

// Seven bars of 3/4 in G major.
const std::vector<SungNote> kWaltz = {
    {67, 1}, {71, 1}, {74, 1}, {72, 2}, {71, 1}, {69, 1}, {67, 1}, {69, 1},
    {71, 3}, {74, 1}, {72, 1}, {71, 1}, {69, 2}, {66, 1}, {67, 3},
};
// Bars 3 and 4 sung again, higher, after the engine's lead bar (bar 2).
const std::vector<SungNote> kBars34 = {{76, 1}, {74, 1}, {76, 1}, {79, 2}, {78, 1}};

class RecordFormTest : public test::RecordingFixture {
public:
    struct Note {
        int start, pitch;
    };

protected:
    void SetUp() override
    {
        RecordingFixture::SetUp();
        WriteTake("take.wav", kWaltz, 3);
        UseMicrophone("take.wav");
        StartForm();
    }

    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    void WriteTake(const char* name, const std::vector<SungNote>& notes, double leadBeats, int tempo = 90)
    {
        sonobox::test::WriteWav(Path(name).toStdString(), sonobox::test::SingMelody(notes, tempo, leadBeats));
    }
    void UseMicrophone(const char* name, const char* options = "")
    {
        const QString spec = QStringLiteral("file:") + Path(name) + QString::fromLatin1(options);
        setenv("MELODRIFT_AUDIO", spec.toUtf8().constData(), 1);
    }

    // Page 0 in 3/4 at 90, then on to the record page.
    TRecordForm* OpenRecordPage()
    {
        m_form->ShowPage(0);
        auto* setup = dynamic_cast<TSetupForm*>(m_form->Page(0));
        EXPECT_NE(setup, nullptr);
        setup->ClickMetre(1);
        setup->SetDialAngle(DialAngleFromTempo(90));
        m_form->HandleMessage(UM_GOTO_STEP, 1, reinterpret_cast<intptr_t>(m_form.get()));
        Settle();
        EXPECT_EQ(m_form->CurrentPage(), 1);
        auto* record = dynamic_cast<TRecordForm*>(m_form->Page(1));
        EXPECT_NE(record, nullptr);
        m_form->SetMessageHandler(UM_GOTO_STEP, [this](intptr_t page, intptr_t) {
            m_gotos.push_back(static_cast<int>(page));
            return intptr_t(1);
        });
        return record;
    }

    // Runs the loop until the engine's answer to a take has been handled.
    bool WaitForTake(TRecordForm& record, int seconds = 60)
    {
        const int handled = record.TakesHandled();
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < seconds * 1000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (record.TakesHandled() > handled)
                return true;
        }
        return false;
    }

    static std::vector<Note> EngineNotes()
    {
        const auto& mm = Engines().mm;
        const int count = mm.MM_GetMelodyInfo(nullptr, 0, 0);
        std::vector<int8_t> pitches(static_cast<size_t>(std::max(count, 0)));
        std::vector<uint16_t> lengths(pitches.size());
        mm.MM_GetMelody(pitches.data(), lengths.data(), -1);
        std::vector<Note> notes;
        int at = 0;
        for (size_t i = 0; i < pitches.size(); ++i) {
            if (pitches[i] != -128)
                notes.push_back({at, pitches[i]});
            at += lengths[i];
        }
        return notes;
    }
    static std::vector<Note> NotesInBars(const std::vector<Note>& notes, int from, int to)
    {
        constexpr int kBar = 3 * 192;
        std::vector<Note> out;
        for (const Note& n : notes)
            if (n.start >= from * kBar && n.start < to * kBar)
                out.push_back(n);
        return out;
    }

    std::vector<int> m_gotos;
};

bool SameNotes(const std::vector<RecordFormTest::Note>& a, const std::vector<RecordFormTest::Note>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].start != b[i].start || a[i].pitch != b[i].pitch)
            return false;
    return true;
}

TEST_F(RecordFormTest, SungTakeBecomesBarsAndKeyAndARerecordKeepsTheRest)
{
    TRecordForm* record = OpenRecordPage();
    ASSERT_NE(record, nullptr);
    TSongModel& song = m_session.song;
    ASSERT_EQ(song.metre, 1);
    ASSERT_EQ(song.tempo, 90);
    SaveShot(*m_form, QStringLiteral("record-empty"));

    record->Record();
    EXPECT_TRUE(record->Recording());
    EXPECT_FALSE(record->m_btnStop->isHidden());
    EXPECT_EQ(record->NoticeBeats(), 2);   // 3/4: two beats to come at the start
    SaveShot(*m_form, QStringLiteral("record-count-in"));
    ASSERT_TRUE(WaitForTake(*record));

    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_TRUE(m_shown[0].text.startsWith(QStringLiteral("可识别音符数："))) << m_shown[0].text.toStdString();
    EXPECT_EQ(m_shown[0].flags, 64);
    EXPECT_TRUE(song.Flag(kFlagMelody));
    EXPECT_EQ(song.key, 7);   // G
    EXPECT_EQ(record->m_lblKey->text(), QStringLiteral("调号 G"));
    ASSERT_EQ(song.bars.size(), 7u);
    EXPECT_FALSE(song.bars[0].leadIn);
    EXPECT_EQ(record->m_panelBarsShow->BarCount(), 7);
    EXPECT_GT(song.melodyBarCount, 0) << "the melody went on to the composer";
    Settle();
    EXPECT_EQ(m_gotos, (std::vector<int>{4}));
    SaveShot(*m_form, QStringLiteral("record-recognised"));
    const auto before = EngineNotes();
    ASSERT_FALSE(NotesInBars(before, 2, 4).empty());

    // Re-record bars 3 and 4 only.
    WriteTake("bars34.wav", kBars34, 3);
    UseMicrophone("bars34.wav");
    m_shown.clear();
    record->ToggleModify();
    record->m_panelBarsShow->range.PlaceBegin({2, 0});
    record->m_panelBarsShow->range.PlaceEnd({4, 0});
    SaveShot(*m_form, QStringLiteral("record-partial-range"));
    record->Record();
    ASSERT_TRUE(record->Recording());
    ASSERT_TRUE(WaitForTake(*record));
    const auto after = EngineNotes();
    EXPECT_TRUE(SameNotes(NotesInBars(before, 0, 2), NotesInBars(after, 0, 2)));
    EXPECT_TRUE(SameNotes(NotesInBars(before, 4, 7), NotesInBars(after, 4, 7)));
    EXPECT_FALSE(SameNotes(NotesInBars(before, 2, 4), NotesInBars(after, 2, 4)));
    EXPECT_EQ(song.bars.size(), 7u);
    EXPECT_TRUE(record->MelodyChanged());

    // Leaving the page after a re-record drops what was made of the old melody.
    song.stages.push_back({0, 5, 0});
    record->LeaveStep(0);
    EXPECT_TRUE(song.stages.empty());
    EXPECT_EQ(song.bars.size(), 7u);
}

TEST_F(RecordFormTest, SilentAndShortTakesAreReported)
{
    struct Case {
        const char* name;
        std::vector<SungNote> notes;
        const char* says;     // the end of the message
        int flags;
        bool melody;
        bool keepsPrevious;   // the song's bars and key as before the take
    };
    const Case cases[] = {
        {"silence", {{-1, 12}}, "请调整话筒音量后重新录音！", 16, false, false},
        // One note: the engine takes its one bar, the screen warns of too few notes.
        {"shorter than a bar", {{67, 1}}, "可能导致旋律分析不准确！", 64, true, false},
        // The message, but the one-bar melody above stays.
        {"silence after a melody", {{-1, 12}}, "请调整话筒音量后重新录音！", 16, true, true},
    };
    TRecordForm* record = OpenRecordPage();
    ASSERT_NE(record, nullptr);
    m_replies.clear();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteTake("bad.wav", c.notes, 3);
        UseMicrophone("bad.wav");
        m_shown.clear();
        m_replies = {kResultYes};   // clear the previous melody when asked
        const std::vector<tagMelodyBar> barsBefore = m_session.song.bars;
        const int keyBefore = m_session.song.key;
        record->Record();
        ASSERT_TRUE(record->Recording());
        ASSERT_TRUE(WaitForTake(*record));
        EXPECT_TRUE(m_shown.back().text.endsWith(QString::fromUtf8(c.says))) << m_shown.back().text.toStdString();
        EXPECT_EQ(m_shown.back().flags, c.flags);
        EXPECT_EQ(m_session.song.Flag(kFlagMelody), c.melody);
        EXPECT_EQ(record->m_btnPlay->Enabled(), c.melody);
        EXPECT_EQ(m_session.song.key == -1, !c.melody);
        EXPECT_EQ(m_session.song.bars.empty(), !c.melody);
        if (c.keepsPrevious) {
            EXPECT_EQ(m_session.song.bars.size(), barsBefore.size());
            EXPECT_EQ(m_session.song.key, keyBefore);
            EXPECT_GT(Engines().mm.MM_GetMelodyInfo(nullptr, 0, 0), 0) << "the engine kept its melody";
        }
        if (!c.melody)
            SaveShot(*m_form, QStringLiteral("record-invalid-take"));
    }
}

TEST_F(RecordFormTest, DeviceFailureKeepsTheSongAndCountInCancelSaysNothing)
{
    TRecordForm* record = OpenRecordPage();
    ASSERT_NE(record, nullptr);
    TSongModel& song = m_session.song;
    // A song with a melody: answering No to the question changes nothing.
    for (int i = 0; i < 3; ++i)
        song.AddBar();
    song.SetFlag(kFlagMelody, true);
    m_replies = {kResultNo};
    record->Record();
    EXPECT_FALSE(record->Running());
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].text, QStringLiteral("确定清除当前内容重新录音？"));
    EXPECT_EQ(song.bars.size(), 3u);

    // A microphone that cannot be opened: its message, and the song stays.
    UseMicrophone("missing.wav");
    m_replies = {kResultYes, kResultOk};
    std::vector<int> micSetups;
    m_form->SetMessageHandler(UM_MIC_SETUP, [&](intptr_t, intptr_t) {
        micSetups.push_back(1);
        return intptr_t(1);
    });
    record->Record();
    Settle();
    EXPECT_FALSE(record->Running());
    ASSERT_EQ(m_shown.size(), 3u);
    EXPECT_TRUE(m_shown[2].text.startsWith(QStringLiteral("指定设备")) ||
                m_shown[2].text == QStringLiteral("未知错误。")) << m_shown[2].text.toStdString();
    EXPECT_EQ(song.bars.size(), 3u);
    EXPECT_TRUE(song.Flag(kFlagMelody));
    SaveShot(*m_form, QStringLiteral("record-device-failed"));
    m_form->SetMessageHandler(UM_MIC_SETUP, {});

    // Stopping during the count-in is a cancel, not an invalid take.
    song.ClearSong(kClearAll);
    song.SetFlag(kFlagMelody, false);
    UseMicrophone("take.wav", ";realtime");
    m_shown.clear();
    record->Record();
    ASSERT_TRUE(record->Recording());
    record->Stop();
    ASSERT_TRUE(WaitForTake(*record));
    EXPECT_TRUE(m_shown.empty()) << m_shown.front().text.toStdString();
    EXPECT_FALSE(song.Flag(kFlagMelody));
    EXPECT_TRUE(record->m_btnRecord->Enabled());
}

TEST_F(RecordFormTest, TakesStoppedAtOnceKeepTheMelodyBarsAndSong)
{
    TRecordForm* record = OpenRecordPage();
    ASSERT_NE(record, nullptr);
    TSongModel& song = m_session.song;
    record->Record();
    ASSERT_TRUE(WaitForTake(*record));
    ASSERT_TRUE(song.Flag(kFlagMelody));
    ASSERT_EQ(song.bars.size(), 7u);
    song.stages.push_back({0, 5, 0});   // the song made of the melody so far
    const auto notes = EngineNotes();
    const int key = song.key;
    const int takeMs = Engines().mm.MM_GetStreamLength(2);

    struct Case {
        const char* name;
        bool partial;
    };
    for (const Case& c : {Case{"new take cancelled in the count-in", false}, Case{"re-record stopped at once", true}}) {
        SCOPED_TRACE(c.name);
        UseMicrophone("take.wav", ";realtime");
        m_shown.clear();
        m_replies = {kResultYes};   // yes, clear the melody for a new take
        if (c.partial) {
            record->ToggleModify();
            record->m_panelBarsShow->range.PlaceBegin({2, 0});
            record->m_panelBarsShow->range.PlaceEnd({4, 0});
        }
        record->Record();
        ASSERT_TRUE(record->Recording());
        record->Stop();
        ASSERT_TRUE(WaitForTake(*record));
        for (const Shown& shown : m_shown)
            EXPECT_NE(shown.text, QString::fromUtf8(kInvalidTakeMessage));
        EXPECT_TRUE(song.Flag(kFlagMelody));
        EXPECT_EQ(song.bars.size(), 7u);
        EXPECT_EQ(song.stages.size(), 1u);
        EXPECT_EQ(song.key, key);
        EXPECT_TRUE(SameNotes(EngineNotes(), notes));
        EXPECT_NEAR(Engines().mm.MM_GetStreamLength(2), takeMs, 1);
        EXPECT_TRUE(record->m_btnPlay->Enabled());
        EXPECT_TRUE(record->m_btnRecord->Enabled());
        if (c.partial)
            record->ToggleModify();
    }
}

TEST_F(RecordFormTest, AMicrophoneLostMidTakeIsSaidAndTheSungBarsAreKept)
{
    // The count-in bar and three sung bars (2 s a bar), then the device goes.
    // In real time, as a microphone delivers it: the analysis keeps up with the take.
    UseMicrophone("take.wav", ";lost=8000;realtime");
    TRecordForm* record = OpenRecordPage();
    ASSERT_NE(record, nullptr);
    record->Record();
    ASSERT_TRUE(record->Recording());
    ASSERT_TRUE(WaitForTake(*record));
    ASSERT_EQ(m_shown.size(), 2u);
    EXPECT_EQ(m_shown[0].text, QString::fromUtf8(kDeviceLostMessage));
    EXPECT_EQ(m_shown[0].flags, 16);
    EXPECT_TRUE(m_shown[1].text.startsWith(QStringLiteral("可识别音符数："))) << m_shown[1].text.toStdString();
    const TSongModel& song = m_session.song;
    EXPECT_TRUE(song.Flag(kFlagMelody));
    EXPECT_GE(song.bars.size(), 2u);
    EXPECT_LT(song.bars.size(), 7u);
    EXPECT_FALSE(record->Recording());
    EXPECT_TRUE(record->m_btnRecord->Enabled());
}

TEST_F(RecordFormTest, LeavingWhileRecordingStopsAndStaysOnTheNewPage)
{
    TRecordForm* record = OpenRecordPage();
    ASSERT_NE(record, nullptr);
    UseMicrophone("take.wav", ";realtime");
    record->Record();
    ASSERT_TRUE(record->Recording());
    // The clock moves the cursor through the count-in into the first sung bar.
    QTest::qWait(3000);
    EXPECT_GE(record->Cursor().bar, 1);
    EXPECT_EQ(record->NoticeBeats(), -1);
    ASSERT_GE(m_session.song.bars.size(), 2u);
    EXPECT_TRUE(m_session.song.bars[1].voiced);
    EXPECT_GT(*std::max_element(m_session.song.bars[1].levels.begin(), m_session.song.bars[1].levels.end()), 0);
    SaveShot(*m_form, QStringLiteral("record-recording"));
    record->LeaveStep(reinterpret_cast<intptr_t>(m_form.get()));
    m_form->ShowPage(0);
    EXPECT_FALSE(record->Running());
    for (int i = 0; i < 100; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(m_form->CurrentPage(), 0);
    EXPECT_TRUE(m_gotos.empty());
}

TEST_F(RecordFormTest, VolumesKeyChangeAndKeyboard)
{
    TRecordForm* record = OpenRecordPage();
    ASSERT_NE(record, nullptr);
    TSongModel& song = m_session.song;
    record->RecordVolumeFromEngine(35);
    EXPECT_FLOAT_EQ(song.recordVolume, 0.35f);
    EXPECT_EQ(record->m_sliderMicrophone->Knob(), 65);
    ASSERT_TRUE(record->m_sliderSpeaker->PressAt(QPoint(16, 16 + 20)));
    record->m_sliderSpeaker->Release();
    EXPECT_FLOAT_EQ(song.speakerVolume, 0.8f);
    EXPECT_FALSE(record->m_sliderSpeaker->PressAt(QPoint(2, 50)));   // beside the track

    song.key = 2;
    record->ChooseKey(2);
    EXPECT_FALSE(record->MelodyChanged());   // the current key changes nothing
    record->ChooseKey(9);
    EXPECT_EQ(song.key, 9);
    EXPECT_TRUE(record->MelodyChanged());

    record->SetKeyboardShown(true);
    EXPECT_FALSE(record->m_pbKeyboard->isHidden());
    record->m_sliderSpeaker->show();
    SaveShot(*m_form, QStringLiteral("record-keyboard"));
    record->LeaveStep(0);
    EXPECT_TRUE(record->m_pbKeyboard->isHidden());
}

} // namespace
} // namespace melodrift

namespace melodrift {
namespace {

struct ButtonState {
    const char* state;
    bool record, stop, play, playShown, pauseShown, modify, prev, next, effects;
};

void ExpectButtons(const TRecordForm& r, const ButtonState& s)
{
    SCOPED_TRACE(s.state);
    EXPECT_EQ(r.m_btnRecord->Enabled(), s.record);
    EXPECT_EQ(r.m_btnStop->Enabled(), s.stop);
    EXPECT_EQ(r.m_btnPlay->Enabled(), s.play);
    EXPECT_EQ(!r.m_btnPlay->isHidden(), s.playShown);
    EXPECT_EQ(!r.m_btnPause->isHidden(), s.pauseShown);
    EXPECT_EQ(r.m_btnModify->Enabled(), s.modify);
    EXPECT_EQ(r.m_btnPrevStep->Enabled(), s.prev);
    EXPECT_EQ(r.m_btnNextStep->Enabled(), s.next);
    EXPECT_EQ(r.m_btnAudioEffect->Enabled(), s.effects);
}

TEST_F(RecordFormTest, ButtonsFollowTheScreensState)
{
    const ButtonState states[] = {
        // state         rec    stop   play   shown  pause  modify prev   next   effects
        {"no melody",    true,  false, false, true,  false, false, true,  false, false},
        {"recording",    false, true,  false, true,  false, false, false, false, false},
        {"recognised",   true,  false, true,  true,  false, true,  true,  true,  true},
        {"playing",      false, true,  true,  false, true,  true,  true,  true,  true},
        {"paused",       true,  true,  true,  true,  false, true,  true,  true,  true},
        {"stopped",      true,  false, true,  true,  false, true,  true,  true,  true},
    };
    TRecordForm* record = OpenRecordPage();
    ASSERT_NE(record, nullptr);
    ExpectButtons(*record, states[0]);
    record->Record();
    ExpectButtons(*record, states[1]);
    ASSERT_TRUE(WaitForTake(*record));
    ExpectButtons(*record, states[2]);
    record->Play();
    ASSERT_TRUE(record->Running());
    ExpectButtons(*record, states[3]);
    record->Pause();
    EXPECT_FALSE(record->Running());
    ExpectButtons(*record, states[4]);
    record->Stop();
    ExpectButtons(*record, states[5]);
}

} // namespace
} // namespace melodrift
