#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "AudioProcessor.h"
#include "FileDevice.h"
#include "ProjectBlock.h"
#include "SoundFile.h"
#include "SoundFontSynth.h"
#include "SpscRing.h"
#include "TestSignals.h"

namespace melodrift::sonobox {
namespace {

ProjectBlock SampleBlock()
{
    ProjectBlock block;
    block.tempo = 132;
    block.metre = 3;
    block.volumes = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    block.effects = {1, 0, 0, 2, 0, 0, 0, 0, 3, 2, 1};
    block.takes.push_back({2, 10, {'f', 'L', 'a', 'C', 5}});
    block.takes.push_back({5, 20, {'f', 'L', 'a', 'C', 8, 7}});
    block.segments = {{-1, 2}, {0.5, 4.5}};
    block.recogniserBytes = 0;
    return block;
}

TEST(ProjectBlockFormat, RoundTripsEveryField)
{
    std::vector<std::uint8_t> bytes = SerializeProjectBlock(SampleBlock());
    std::size_t used = 0;
    auto parsed = ParseProjectBlock(bytes.data(), bytes.size(), &used);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(used, bytes.size());
    ProjectBlock expected = SampleBlock();
    EXPECT_EQ(parsed->tempo, 132);
    EXPECT_EQ(parsed->metre, 3);
    EXPECT_EQ(parsed->volumes, expected.volumes);
    EXPECT_EQ(parsed->effects, expected.effects);
    ASSERT_EQ(parsed->takes.size(), 2u);
    EXPECT_EQ(parsed->takes[1].stream, 5u);
    EXPECT_EQ(parsed->takes[1].samples, 20u);
    EXPECT_EQ(parsed->takes[1].flac, (std::vector<std::uint8_t>{'f', 'L', 'a', 'C', 8, 7}));
    EXPECT_EQ(parsed->segments, expected.segments);
}

TEST(ProjectBlockFormat, FlacTakesAreDecodedOnlyToTheirDeclaredLength)
{
    MonoBuffer tone(4410);
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.5f * std::sin(0.05f * static_cast<float>(i));
    const std::vector<std::uint8_t> flac = EncodeFlac(tone);
    ASSERT_GT(flac.size(), 42u);
    // The same stream without its total in STREAMINFO (36 bits from byte 21):
    // only the take's own count can stop the decoder.
    std::vector<std::uint8_t> unsized = flac;
    unsized[21] &= 0xF0;
    std::memset(&unsized[22], 0, 4);
    struct Case {
        const std::vector<std::uint8_t>* bytes;
        std::size_t declared;
        bool decodes;
    };
    const Case cases[] = {
        {&flac, 4410, true},     {&flac, 4409, false},   {&flac, 10, false},
        {&flac, 4411, false},    {&unsized, 4410, true}, {&unsized, 10, false},
        {&unsized, 4411, false}, {&flac, kMaxTakeFrames + 1, false},
    };
    for (const Case& c : cases) {
        auto decoded = DecodeFlacTake(c.bytes->data(), c.bytes->size(), c.declared);
        EXPECT_EQ(decoded.has_value(), c.decodes) << (c.bytes == &flac ? "sized " : "unsized ") << c.declared;
        if (decoded) {
            EXPECT_EQ(decoded->size(), c.declared);
        }
    }
}

TEST(ProjectBlockFormat, RecogniserBlockMustFollowInsideTheFile)
{
    ProjectBlock block = SampleBlock();
    block.recogniserBytes = 16;
    std::vector<std::uint8_t> bytes = SerializeProjectBlock(block);
    EXPECT_FALSE(ParseProjectBlock(bytes.data(), bytes.size(), nullptr));
    bytes.resize(bytes.size() + 16);
    EXPECT_TRUE(ParseProjectBlock(bytes.data(), bytes.size(), nullptr));
}

TEST(ProjectBlockFormat, EveryTruncationAndBadFieldIsRefused)
{
    std::vector<std::uint8_t> good = SerializeProjectBlock(SampleBlock());
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(ParseProjectBlock(good.data(), n, nullptr)) << "cut at " << n;

    struct Patch {
        const char* name;
        std::size_t at;
        std::uint32_t value;
    };
    // Offsets: magic 0, format 4, size 8, tempo 12, metre 16, volumes 20,
    // effects 44, take count 88, first take 92 (stream, samples, bytes).
    const Patch patches[] = {
        {"format", 4, 2},       {"size too small", 8, 8},  {"size past the end", 8, 100000},
        {"tempo", 12, 0},       {"metre", 16, 9},          {"volume NaN", 20, 0x7FC00000},
        {"take count", 88, 7},  {"take stream", 92, 6},    {"take bytes", 100, 0xFFFFFFF0},
        {"segment count", 92 + 12 + 5 + 12 + 6, 0x10000000}, {"not FLAC", 92 + 12, 0x43614C67},
    };
    for (const Patch& p : patches) {
        std::vector<std::uint8_t> bytes = good;
        std::memcpy(bytes.data() + p.at, &p.value, 4);
        EXPECT_FALSE(ParseProjectBlock(bytes.data(), bytes.size(), nullptr)) << p.name;
    }
}

TEST(SoundFontInfoFormat, ReadsTheInfoTextsAndRefusesOtherFiles)
{
    auto chunk = [](const char* id, const std::string& body) {
        std::string c(id, 4);
        std::uint32_t n = static_cast<std::uint32_t>(body.size());
        c.append(reinterpret_cast<const char*>(&n), 4);
        c += body;
        if (body.size() % 2)
            c += '\0';
        return c;
    };
    std::string info = "INFO" + chunk("ifil", std::string("\x02\0\x01\0", 4)) + chunk("INAM", std::string("Warm Keys\0", 10)) +
                       chunk("ISFT", std::string("Maker 1.0", 9)) + chunk("ICOP", std::string("Free", 4));
    std::string body = "sfbk" + chunk("LIST", info) + chunk("LIST", "sdta");
    std::string file = chunk("RIFF", body);
    auto parsed = ParseSoundFontInfo(reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->name, "Warm Keys");
    EXPECT_EQ(parsed->engine, "Maker 1.0");
    EXPECT_EQ(parsed->copyright, "Free");

    std::string wave = file;
    std::memcpy(wave.data() + 8, "WAVE", 4);
    EXPECT_FALSE(ParseSoundFontInfo(reinterpret_cast<const std::uint8_t*>(wave.data()), wave.size()));
    // A sub-chunk claiming more than its list holds stops the walk without reading past it.
    std::string lying = file;
    std::size_t inam = lying.find("INAM");
    std::uint32_t huge = 0xFFFFFF00u;
    std::memcpy(lying.data() + inam + 4, &huge, 4);
    auto partial = ParseSoundFontInfo(reinterpret_cast<const std::uint8_t*>(lying.data()), lying.size());
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->name, "");
    for (std::size_t n = 0; n < 12; ++n)
        EXPECT_FALSE(ParseSoundFontInfo(reinterpret_cast<const std::uint8_t*>(file.data()), n));
    const char* debianFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";
    if (auto real = ReadSoundFontInfo(debianFont)) {
        EXPECT_FALSE(real->name.empty());
    }
}

TEST(MidiFileCheck, AcceptsCompleteFilesOnly)
{
    std::vector<std::uint8_t> good = test::MakeMidiFile(120, {{60, 1}, {62, 1}});
    EXPECT_TRUE(IsCompleteMidiFile(good.data(), good.size()));
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(IsCompleteMidiFile(good.data(), n)) << n;
    struct Patch {
        const char* name;
        std::size_t at;
        std::uint8_t value;
    };
    const Patch patches[] = {{"magic", 0, 'X'},   {"header length", 7, 2}, {"format", 9, 3},
                             {"no tracks", 11, 0}, {"two tracks", 11, 2},  {"zero division", 13, 0},
                             {"track length", 21, 0xFF}};
    for (const Patch& p : patches) {
        std::vector<std::uint8_t> bytes = good;
        bytes[p.at] = p.value;
        EXPECT_FALSE(IsCompleteMidiFile(bytes.data(), bytes.size())) << p.name;
    }
    std::vector<std::uint8_t> noEnd = good;
    noEnd[noEnd.size() - 2] = 0x2E; // not an end-of-track event
    EXPECT_FALSE(IsCompleteMidiFile(noEnd.data(), noEnd.size()));
}

TEST(FileDeviceSpecText, ParsesTheDeviceNameForms)
{
    struct Case {
        const char* text;
        bool ok;
        const char* input;
        const char* output;
        bool realtime;
        std::int64_t lostAfter = -1;
    };
    const Case cases[] = {
        {"null", true, "", "", false},
        {"file:/tmp/in.wav", true, "/tmp/in.wav", "", false},
        {"file:/tmp/in.wav;out=/tmp/o.wav", true, "/tmp/in.wav", "/tmp/o.wav", false},
        {"file:;out=/tmp/o.wav;realtime", true, "", "/tmp/o.wav", true},
        {"file:a.wav;lost=1000", true, "a.wav", "", false, 44100},
        {"file:a.wav;lost=0;realtime", true, "a.wav", "", true, 0},
        {"file:a.wav;lost=", false, "", "", false},
        {"file:a.wav;lost=-5", false, "", "", false},
        {"file:a.wav;lost=12x", false, "", "", false},
        {"file:a.wav;lost=99999999999999999999", false, "", "", false},
        {"file:a.wav;loud", false, "", "", false},
        {"hw:0", false, "", "", false},
        {"", false, "", "", false},
    };
    for (const Case& c : cases) {
        auto spec = ParseFileDeviceSpec(c.text);
        ASSERT_EQ(spec.has_value(), c.ok) << c.text;
        if (!spec)
            continue;
        EXPECT_EQ(spec->input, c.input) << c.text;
        EXPECT_EQ(spec->output, c.output) << c.text;
        EXPECT_EQ(spec->realtime, c.realtime) << c.text;
        EXPECT_EQ(spec->lostAfter, c.lostAfter) << c.text;
    }
}

TEST(SpscRingQueue, KeepsOrderAcrossTheWrapAndRefusesOverflow)
{
    SpscRing<int> ring(5);
    int written = 0, read = 0;
    for (int round = 0; round < 7; ++round) {
        int in[6];
        for (int i = 0; i < 6; ++i)
            in[i] = written + i;
        std::size_t pushed = ring.Push(in, 6);
        EXPECT_EQ(pushed, 5u); // one more than fits is refused
        written += static_cast<int>(pushed);
        int out[3];
        ASSERT_EQ(ring.Pop(out, 3), 3u); // the indices move on, so later rounds wrap
        for (int v : out)
            EXPECT_EQ(v, read++);
        int rest[5];
        std::size_t left = ring.Pop(rest, 5);
        ASSERT_EQ(left, 2u);
        for (std::size_t i = 0; i < left; ++i)
            EXPECT_EQ(rest[i], read++);
    }
    EXPECT_EQ(ring.Available(), 0u);
    EXPECT_EQ(read, written);
}

TEST(AudioProcessorRun, MixesSourcesWithVolumesAndMeasuresLevels)
{
    auto program = std::make_shared<PlaybackProgram>();
    auto audio = std::make_shared<StereoBuffer>(StereoBuffer{0.5f, 0.5f, -0.25f, -0.25f, 0.1f, 0.1f});
    program->sources.push_back({audio, kStreamFullAccompaniment, 1}); // starts at its second frame
    program->endFrame = 2;
    program->capture = true;
    AudioProcessor processor(program);
    processor.Post(Command{Command::SetVolume, kStreamFullAccompaniment, 0.5f});
    processor.Post(Command{Command::SetVolume, kStreamMicrophone, 0.5f}); // unity gain
    const float in[3] = {0.5f, -0.25f, 0.0f};
    float out[6] = {};
    processor.Process(in, out, 3);
    EXPECT_FLOAT_EQ(out[0], -0.125f);
    EXPECT_FLOAT_EQ(out[2], 0.05f);
    EXPECT_FLOAT_EQ(out[4], 0.0f); // past the source's end
    EXPECT_TRUE(processor.Finished());
    // Packed levels: positive peak low, negative magnitude high.
    EXPECT_EQ(processor.TakeLevel(kStreamMicrophone), 16383 | (8191 << 16));
    EXPECT_EQ(processor.TakeLevel(kStreamMicrophone), 0); // read and reset
    float captured[3];
    ASSERT_EQ(processor.Captured().Pop(captured, 3), 3u);
    EXPECT_FLOAT_EQ(captured[0], 0.5f);
    EXPECT_FLOAT_EQ(captured[1], -0.25f);
    // Monitoring puts the microphone on the output.
    processor.Post(Command{Command::SetMonitor, 0, 1.0f});
    processor.Process(in, out, 1);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
}

} // namespace
} // namespace melodrift::sonobox
