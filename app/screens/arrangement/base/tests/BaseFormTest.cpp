// The base accompaniment page with the real libraries: a recognised take,
// edits of key, chord, stages and fills, and the MIDI handed to the engine,
// read back with an independent reader.
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>

#include "AppSession.h"
#include "EngineBinding.h"
#include "EngineTables.h"
#include "MessageDispatcher.h"
#include "MidiSummary.h"
#include "PlaybackClock.h"
#include "Pipeline.h"
#include "SettingsStore.h"
#include "StyleLibrary.h"
#include "TBaseForm.h"
#include "TBasePanel.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include <QLabel>

using namespace melodrift;

namespace {

std::mutex g_midiLock;
std::vector<uint8_t> g_lastMidi;
int g_loads = 0;
decltype(&MM_LoadBaseCompose) g_realLoad = nullptr;

// Keeps what the page hands to the engine, then hands it on.
int32_t RecordingLoad(const uint8_t* midi, int32_t size)
{
    {
        std::lock_guard<std::mutex> guard(g_midiLock);
        g_lastMidi.assign(midi, midi + std::max(size, 0));
        ++g_loads;
    }
    return g_realLoad(midi, size);
}

class Receiver : public QObject, public TMessageTarget {
public:
    Receiver() { RegisterMessageTarget(this, this); }
    ~Receiver() override { UnregisterMessageTarget(this); }
    intptr_t HandleMessage(uint32_t message, intptr_t, intptr_t lParam) override
    {
        messages.push_back({message, lParam});
        return 0;
    }
    bool event(QEvent* e) override { return DeliverMessageEvent(this, e) || QObject::event(e); }
    std::vector<std::pair<uint32_t, intptr_t>> messages;
};

using BarNotes = std::map<int, std::vector<std::pair<int, int>>>;   // bar -> (channel, pitch)

class BaseScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("MELODRIFT_SERVICE", "127.0.0.1:9", 0);
        s_bound = BindEngineLibraries() == 0;
    }
    void SetUp() override
    {
        ASSERT_TRUE(s_bound);
        ASSERT_TRUE(m_dir.isValid());
        setenv("MELODRIFT_HOME", m_dir.filePath(QStringLiteral("home")).toUtf8().constData(), 1);
        setenv("MELODRIFT_AUDIO", "file:", 1);
        InstallMessageDispatcher();
        TMessageForm::SetScript([this](const QString& text, int) {
            m_messages << text;
            return static_cast<int>(kResultYes);
        });
        m_settings = std::make_unique<TSettingsStore>(m_dir.filePath(QStringLiteral("s.ini")).toStdString());
        const StepResult started = InitialiseEngine(m_session, *m_settings, WindowHandle(&m_main), ApplicationDirectory());
        ASSERT_TRUE(started.ok) << started.message;
        g_realLoad = Engines().mm.MM_LoadBaseCompose == RecordingLoad ? g_realLoad : Engines().mm.MM_LoadBaseCompose;
        Engines().mm.MM_LoadBaseCompose = RecordingLoad;
    }
    void TearDown() override
    {
        m_form.reset();
        Engines().mm.MM_LoadBaseCompose = g_realLoad;
        Engines().mm.MM_DestroyObjects();
        TMessageForm::SetScript({});
        unsetenv("MELODRIFT_AUDIO");
        unsetenv("MELODRIFT_HOME");
    }

    // The sample take, recognised by the engine as a finished take is.
    void LoadSampleTake()
    {
        TSongModel& song = m_session.song;
        SetMetre(song, 0, true);
        SetTempo(song, 96, true);
        const std::string take = std::string(std::getenv("MELODRIFT_SOURCE_DIR")) + "/cli/data/sample-take.wav";
        ASSERT_GT(Engines().mm.MM_LoadAudio(WindowHandle(&m_main), take.c_str()), 0);
        int bars = 0;
        for (int i = 0; i < 600 && bars == 0; ++i) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            for (const auto& [message, lParam] : m_main.messages)
                if (message == UM_TAKE_RECOGNISED)
                    bars = static_cast<int>((lParam >> 16) & 0xFFFF);
        }
        ASSERT_GE(bars, 6);
        int32_t key = -1;
        Engines().mm.MM_GetMelodyInfo(&key, 0, 0);
        ASSERT_EQ(key, 7) << "the sample is in G major";
        song.key = key;
        for (int i = 0; i < bars; ++i)
            song.AddBar();
        SubmitMelody(song);
        song.SetFlag(kFlagMelody, true);
        StyleRunState& run = StyleRun();
        LoadStyleLibrary(run, 0);
        for (const StyleEntry& e : run.library)
            if (e.Installed() && std::string(e.info.name).find("Pop") != std::string::npos) {
                song.styleId = e.info.id;
                song.styleFileName = e.info.name;
                break;
            }
        ASSERT_GT(song.styleId, 0);
    }

    TBaseForm& Form()
    {
        if (!m_form) {
            m_form = std::make_unique<TBaseForm>(nullptr, m_session);
            m_form->resize(810, 500);
            m_form->show();
        }
        return *m_form;
    }

    // The last MIDI handed to the engine, read back by the independent reader.
    BarNotes ReadBack()
    {
        std::vector<uint8_t> midi;
        {
            std::lock_guard<std::mutex> guard(g_midiLock);
            midi = g_lastMidi;
        }
        const testsupport::MidiSummary summary = testsupport::SummariseMidi(midi);
        EXPECT_TRUE(summary.ok) << summary.error;
        const long barTicks = summary.ticksPerBeat * 4L;
        BarNotes notes;
        for (const testsupport::MidiTrackSummary& track : summary.tracks)
            for (const testsupport::MidiNoteOn& n : track.notes)
                notes[static_cast<int>(n.tick / barTicks)].push_back({n.channel, n.note});
        return notes;
    }

    void SavePicture(QWidget& widget, const QString& name)
    {
        QDir().mkpath(QStringLiteral(MELODRIFT_SCREENSHOT_DIR));
        widget.grab().save(QStringLiteral(MELODRIFT_SCREENSHOT_DIR "/") + name);
    }

    static bool s_bound;
    QTemporaryDir m_dir;
    Receiver m_main;
    AppSession m_session;
    std::unique_ptr<TSettingsStore> m_settings;
    std::unique_ptr<TBaseForm> m_form;
    QStringList m_messages;
};
bool BaseScreen::s_bound = false;

std::set<int> PitchClasses(const std::vector<std::pair<int, int>>& notes)
{
    std::set<int> classes;
    for (const auto& [channel, pitch] : notes)
        if (channel != 9)
            classes.insert(pitch % 12);
    return classes;
}

} // namespace

TEST_F(BaseScreen, EditsOfKeyChordStagesAndFillsReachTheComposedMidi)
{
    LoadSampleTake();
    TSongModel& song = m_session.song;
    TBaseForm& form = Form();
    form.EnterStep();
    form.WaitForCompose();
    ASSERT_TRUE(song.Flag(kFlagBaseAccompaniment)) << m_messages.join(QLatin1Char('|')).toStdString();
    ASSERT_FALSE(song.stages.empty());
    EXPECT_GE(song.bars[0].chords[0], 0) << "the composer's chords are shown";
    EXPECT_FALSE(form.m_btnReload->Enabled()) << "nothing pending after entering";
    SavePicture(form, QStringLiteral("base-page.png"));

    // A new key from the key list composes the melody anew in that key.
    form.ChooseKey(2, true);   // D
    form.WaitForCompose();
    EXPECT_EQ(song.key, 2);
    EXPECT_EQ(song.lastComposeKey, 2);
    ASSERT_FALSE(song.stages.empty());
    EXPECT_FALSE(form.m_btnReload->Enabled());

    // Bar 3 gets IV (G major in D) for the whole bar.
    form.PressContent(2, 10);
    if (song.bars[2].chords[1] >= 0) {
        form.PressContent(2, 100);
        form.ClickDegree(form.PressedDegree());
        EXPECT_EQ(song.bars[2].chords[1], -1) << "clicking the pressed degree of a second half clears it";
        form.PressContent(2, 10);
    }
    if (form.PressedDegree() == 3)
        form.ClickDegree(4);
    form.ClickDegree(3);
    EXPECT_EQ(song.bars[2].chords[0], 5 * 4) << "IV major";
    EXPECT_TRUE(form.m_btnReload->Enabled());

    // Split the first stage after its first bar, and a fill in bar 5.
    const size_t stagesBefore = song.stages.size();
    const int splitBar = song.stages[0].lastBar > song.stages[0].firstBar ? song.stages[0].firstBar + 1 : -1;
    if (splitBar > 0) {
        form.SetTool(BaseTool::Split);
        EXPECT_TRUE(form.View()->Split(splitBar, 10, false));
        EXPECT_EQ(song.stages.size(), stagesBefore + 1);
        EXPECT_EQ(song.stages[1].firstBar, splitBar);
    }
    const int fillBar = 4;
    form.View()->SetBarFill(fillBar, -1);
    const BarNotes withoutFill = [&] {
        form.Generate(true);
        form.WaitForCompose();
        return ReadBack();
    }();
    ASSERT_EQ(song.bars[fillBar].fill, -1);
    form.View()->SetBarFill(fillBar, 1);
    EXPECT_TRUE(form.m_btnReload->Enabled());
    SavePicture(form, QStringLiteral("base-page-edited.png"));
    const int loadsBefore = g_loads;
    ASSERT_TRUE(form.Generate(true));
    EXPECT_FALSE(form.Generate(true)) << "a second request while composing starts nothing";
    form.WaitForCompose();
    EXPECT_EQ(g_loads, loadsBefore + 1);
    EXPECT_TRUE(m_messages.isEmpty()) << m_messages.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(form.m_btnReload->Enabled());
    EXPECT_EQ(song.bars[2].chords[0], 5 * 4) << "the edit survives the generation";
    EXPECT_EQ(song.bars[fillBar].fill, 1);
    if (splitBar > 0) {
        EXPECT_EQ(song.stages.size(), stagesBefore + 1);
    }

    const BarNotes notes = ReadBack();
    // Bar 3 (index 2) sounds G major: G, B, D and nothing else outside the drums.
    const std::set<int> bar3 = PitchClasses(notes.at(2));
    EXPECT_EQ(bar3, (std::set<int>{7, 11, 2})) << "bar 3 plays the chosen chord";
    // The fill changes its own bar and no other.
    ASSERT_TRUE(notes.count(fillBar));
    EXPECT_NE(notes.at(fillBar), withoutFill.at(fillBar)) << "the fill is heard in its bar";
    for (const auto& [bar, list] : notes) {
        if (bar != fillBar && bar != fillBar + 1 && withoutFill.count(bar)) {
            EXPECT_EQ(list, withoutFill.at(bar)) << "bar " << bar;
        }
    }
}

TEST_F(BaseScreen, LeavingWithPendingEditsAsksAndNoPutsTheLastGenerationBack)
{
    LoadSampleTake();
    TSongModel& song = m_session.song;
    TBaseForm& form = Form();
    form.EnterStep();
    form.WaitForCompose();
    ASSERT_TRUE(song.Flag(kFlagBaseAccompaniment));
    const auto bars = song.bars;
    const auto stages = song.stages;
    form.View()->SetBarFill(1, 0);
    form.PressContent(0, 10);
    form.ClickDegree(song.bars[0].chords[0] == 0 ? 4 : 0);

    struct Case {
        int answer;
        bool left;
        bool reverted;
    };
    for (const Case c : {Case{kResultCancel, false, false}, Case{kResultNo, true, true}}) {
        TMessageForm::SetScript([&](const QString& text, int flags) {
            m_messages << QStringLiteral("%1 %2").arg(flags).arg(text);
            return c.answer;
        });
        m_messages.clear();
        form.LeaveStep(0);
        EXPECT_EQ(m_messages, QStringList{QStringLiteral("35 确定对和弦与分段所做修改吗？")});
        EXPECT_EQ(song.Flag(kFlagLeftByStepBar), c.left);
        EXPECT_EQ(song.bars == bars && song.stages == stages, c.reverted) << c.answer;
    }
}

TEST_F(BaseScreen, PlayFollowsTheClockAndStopsAtTheEnd)
{
    LoadSampleTake();
    TSongModel& song = m_session.song;
    TBaseForm& form = Form();
    form.EnterStep();
    form.WaitForCompose();
    form.Play();
    ASSERT_TRUE(form.Playing());
    EXPECT_TRUE(form.m_btnPause->isVisible());
    EXPECT_FALSE(form.m_btnPlay->isVisible());
    const int ticks = static_cast<int>(120 * song.bars.size() / song.ticksPerClockTick) + 2;
    for (int i = 0; i < ticks && form.Playing(); ++i)
        form.ClockTick();
    EXPECT_FALSE(form.Playing()) << "the end of the song stops playback";
    EXPECT_TRUE(form.m_btnPlay->isVisible());
    EXPECT_EQ(form.View()->Layout().CursorBar(), 0) << "back to the start position";
}

namespace {
int32_t ComposerRefuses(int32_t, int32_t*, uint8_t*, int32_t*, SM_Section*, int32_t*, SM_Chord*, int32_t*, SM_Fill*,
                        int32_t)
{
    return -1;
}
} // namespace

TEST_F(BaseScreen, AnEditTheComposerRefusesKeepsThePreviousAccompanimentPlaying)
{
    LoadSampleTake();
    TSongModel& song = m_session.song;
    TBaseForm& form = Form();
    form.EnterStep();
    form.WaitForCompose();
    form.Play();
    ASSERT_TRUE(form.Playing());
    form.PressContent(1, 10);
    form.ClickDegree(form.PressedDegree() == 4 ? 3 : 4);
    const auto realCompose = Engines().sm.SM_BaseCompose;
    Engines().sm.SM_BaseCompose = ComposerRefuses;
    const int loads = g_loads;
    m_messages.clear();
    form.Generate(true);
    form.WaitForCompose();
    Engines().sm.SM_BaseCompose = realCompose;
    EXPECT_EQ(m_messages, QStringList{QStringLiteral("自动编曲失败！")});
    EXPECT_TRUE(form.Playing()) << "what was playing goes on";
    EXPECT_EQ(g_loads, loads) << "nothing new was handed to the engine";
    EXPECT_TRUE(form.m_btnReload->Enabled()) << "the edit stays pending";
    form.Stop();
    (void)song;
}

TEST_F(BaseScreen, AStyleThatLeftTheLibraryFallsBackWithAMessage)
{
    LoadSampleTake();
    TSongModel& song = m_session.song;
    song.styleId = 987654;
    song.styleFileName = "Gone";
    TBaseForm& form = Form();
    form.EnterStep();
    form.WaitForCompose();
    ASSERT_EQ(m_messages.size(), 1);
    EXPECT_TRUE(m_messages[0].contains(QStringLiteral("Gone"))) << m_messages[0].toStdString();
    EXPECT_NE(song.styleId, 987654);
    EXPECT_TRUE(Engines().sm.SM_CheckStyle(song.styleId));
    EXPECT_TRUE(song.Flag(kFlagBaseAccompaniment)) << "composed in the fallback style";
    EXPECT_EQ(form.m_lblStyleName->text(), QString::fromUtf8(song.styleFileName.c_str()));
}
