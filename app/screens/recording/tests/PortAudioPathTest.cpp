// The engine's sound-card path without a sound card: ALSA's own plugins stand
// in for one. The test's HOME holds an .asoundrc whose default device is the
// "file" plugin over "null": capture reads a generated take from a raw file,
// playback is written to another. Listing, opening, recording, recognising
// and playing then all go through PortAudio and ALSA as on a desktop.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "AppSession.h"
#include "EngineBinding.h"
#include "EngineTables.h"
#include "FakeEngine.h"
#include "TestSignals.h"

namespace melodrift {
namespace {

using sonobox::test::SungNote;

std::optional<test::PostedMessage> WaitFor(test::MessageLog& log, uint32_t message, int seconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        for (const auto& m : log.Snapshot())
            if (m.message == message)
                return m;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

TEST(PortAudioPath, AlsaFilePluginStandsInForASoundCard)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    // The take as raw 16-bit mono at 44.1 kHz, the format the plug converts to.
    const auto voice = sonobox::test::SingMelody(
        {{67, 1}, {71, 1}, {74, 1}, {72, 2}, {71, 1}, {69, 1}, {67, 1}, {69, 1}, {71, 3}, {-1, 3}}, 90, 3);
    QByteArray raw;
    for (float s : voice) {
        const auto v = static_cast<int16_t>(std::clamp(s, -1.0f, 1.0f) * 32767);
        raw.append(reinterpret_cast<const char*>(&v), 2);
    }
    const QString in = home.filePath(QStringLiteral("mic.raw"));
    const QString out = home.filePath(QStringLiteral("speaker.raw"));
    QFile micFile(in);
    ASSERT_TRUE(micFile.open(QIODevice::WriteOnly));
    micFile.write(raw);
    micFile.close();
    QFile rc(home.filePath(QStringLiteral(".asoundrc")));
    ASSERT_TRUE(rc.open(QIODevice::WriteOnly));
    // Capture reads the take (what it passes on goes nowhere); playback is
    // written to a file; the plug converts to the file's format either way.
    rc.write(QStringLiteral("pcm.mic {\n"
                            "  type file\n"
                            "  slave.pcm \"nothing\"\n"
                            "  file \"/dev/null\"\n"
                            "  infile \"%2\"\n"
                            "  format \"raw\"\n"
                            "}\n"
                            "pcm.speaker {\n"
                            "  type file\n"
                            "  slave.pcm \"nothing\"\n"
                            "  file \"%1\"\n"
                            "  format \"raw\"\n"
                            "}\n"
                            "pcm.nothing { type null }\n"
                            "pcm.!default {\n"
                            "  type asym\n"
                            "  capture.pcm { type plug slave { pcm \"mic\" format S16_LE rate 44100 channels 1 } }\n"
                            "  playback.pcm { type plug slave { pcm \"speaker\" format S16_LE rate 44100 channels 1 } }\n"
                            "}\n")
                 .arg(out, in)
                 .toUtf8());
    rc.close();
    setenv("HOME", home.path().toUtf8().constData(), 1);
    setenv("MELODRIFT_HOME", home.filePath(QStringLiteral("data")).toUtf8().constData(), 1);
    unsetenv("MELODRIFT_AUDIO");

    ASSERT_EQ(BindEngineLibraries(), 0);
    const auto& mm = Engines().mm;
    test::MessageLog log;
    int mainWindow = 0, screen = 0;
    ASSERT_EQ(mm.MM_InitialObjects(&mainWindow, EngineDirectory(ApplicationDirectory()).c_str()), 0);
    mm.MM_SetTempo(90);
    mm.MM_SetTimeSignature(1);

    MM_RecordDeviceInfo devices[20];
    const int count = mm.MM_GetRecordDeviceInfo(20, devices);
    ASSERT_GT(count, 0) << "ALSA's default device is listed";
    int chosen = -1;
    int named = -1;
    for (int i = 0; i < count; ++i)
        if (std::string(devices[i].name) == "default")
            named = i;
    ASSERT_GE(named, 0) << "ALSA's default PCM is one of PortAudio's devices";
    chosen = devices[named].id;
    int32_t input = -1;
    float volume = 1.0f;
    ASSERT_EQ(mm.MM_SetRecordDevice(&chosen, devices[named].name, &input, &volume), 0);
    ASSERT_EQ(chosen, devices[named].id);

    ASSERT_EQ(mm.MM_Record(&screen, 0, -1, -1, MM_RECORD_MELODY), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(voice.size() * 1000 / 44100)));
    mm.MM_Stop();
    const auto recognised = WaitFor(log, UM_TAKE_RECOGNISED, 60);
    ASSERT_TRUE(recognised);
    const int notes = static_cast<int>(recognised->wParam & 0xFFFF);
    const int bars = static_cast<int>((recognised->lParam >> 16) & 0xFFFF);
    // ALSA's null device keeps no time: the take arrives far faster than a
    // microphone sings it and the engine keeps what its input queue holds, so
    // this checks that a voice came through the whole path, not its notes
    // (the file device's tests do that).
    EXPECT_GE(notes, 1);
    EXPECT_GE(bars, 3);

    // Playing the take writes it through the same device (the plugin starts
    // its output file afresh when the device opens again).
    ASSERT_EQ(mm.MM_Play(&screen, 0, MM_PLAY_TAKE), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    mm.MM_Stop();
    QFile played(out);
    ASSERT_TRUE(played.open(QIODevice::ReadOnly));
    const QByteArray bytes = played.readAll();
    EXPECT_GT(bytes.size(), 44100);
    int loud = 0;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        loud += std::abs(*reinterpret_cast<const int16_t*>(bytes.constData() + i)) > 1000;
    EXPECT_GT(loud, 1000) << "the sung take is heard";
    mm.MM_DestroyObjects();
}

} // namespace
} // namespace melodrift
