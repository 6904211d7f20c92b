#include "AnalysisBlock.h"
#include "BlockFile.h"
#include "ByteCursor.h"
#include "MelodyFixture.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

using pitchlore::AnalysisBlock;
using pitchlore::BlockFile;
using pitchlore::NoteRecords;
using testsignal::KeyFinder;
using testsignal::MelodyFixture;

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeAll(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class AnalysisFile : public MelodyFixture {
protected:
    void SetUp() override
    {
        MelodyFixture::SetUp();
        dir = fs::temp_directory_path() / ("pitchlore-block-" + std::to_string(getpid()));
        fs::create_directories(dir);
        path = (dir / "project.bin").string();
        writeAll(path, {'H', 'E', 'A', 'D', 'E', 'R', '!', '!'});
    }
    void TearDown() override { fs::remove_all(dir); }

    // A short take: a bar of lead-in, four notes, a trailing rest.
    void sing()
    {
        track.rest(kBar).note(60, kBeat).note(62.2, kBeat).note(64, 2 * kBeat).note(67, 3 * kBeat).rest(kBeat);
    }

    static void expectSameState(const pitchlore::Analyser& a, const pitchlore::Analyser& b)
    {
        EXPECT_EQ(a.config().tempo, b.config().tempo);
        EXPECT_EQ(a.config().TS, b.config().TS);
        EXPECT_EQ(a.config().FFT, b.config().FFT);
        EXPECT_EQ(a.config().FPB, b.config().FPB);
        ASSERT_EQ(a.tracks().count(), b.tracks().count());
        for (uint32_t i = 0; i < a.tracks().count(); ++i) {
            EXPECT_EQ(a.tracks().pitch()[i], b.tracks().pitch()[i]);
            EXPECT_EQ(a.tracks().amplitude()[i], b.tracks().amplitude()[i]);
            EXPECT_EQ(a.tracks().frequency()[i], b.tracks().frequency()[i]);
        }
        EXPECT_EQ(a.tracks().loudest(), b.tracks().loudest());
        EXPECT_EQ(a.tracks().leadInLevel(), b.tracks().leadInLevel());
        ASSERT_EQ(a.notes().size(), b.notes().size());
        for (size_t i = 0; i < a.notes().size(); ++i) {
            EXPECT_EQ(a.notes()[i].pitch, b.notes()[i].pitch);
            EXPECT_EQ(a.notes()[i].frames, b.notes()[i].frames);
        }
        EXPECT_EQ(a.key(), b.key());
        EXPECT_EQ(a.outputs().noteNumbers(), b.outputs().noteNumbers());
        EXPECT_EQ(a.outputs().lengths(), b.outputs().lengths());
    }

    fs::path dir;
    std::string path;
};

TEST_F(AnalysisFile, BlockSizeFollowsFramesAndNotes)
{
    struct Case {
        const char* what;
        int frames;  // -1: notes without frames
    } cases[] = {{"empty after reset", 0}, {"notes without frames", -1}, {"frames and notes", 1}};
    for (const Case& c : cases) {
        ASSERT_TRUE(analyser.reset(120, 0, 2048, kFPB));
        if (c.frames < 0)
            analyser.takeNoteRecords({{60.0f, 20}, {-1.0f, 20}, {62.0f, 40}}, 3);
        else if (c.frames > 0) {
            sing();
            ASSERT_TRUE(analyser.analyseMelody(-1));
        }
        size_t F = analyser.tracks().count();
        size_t N = analyser.notes().size();
        auto block = AnalysisBlock::write(analyser);
        size_t size = 28 + 8 * N + (F > 0 ? 24 * F + 16 : 0);
        EXPECT_EQ(block.size(), size + 4) << c.what;
        uint32_t stored = 0;
        std::memcpy(&stored, block.data(), 4);
        EXPECT_EQ(stored, size) << c.what;
    }
}

TEST_F(AnalysisFile, RoundTripKeepsEverything)
{
    KeyFinder::answer = 7;
    sing();
    ASSERT_TRUE(analyser.analyseMelody(-1));
    auto block = AnalysisBlock::write(analyser);
    ASSERT_EQ(BlockFile::append(path.c_str(), block), BlockFile::Status::Done);
    EXPECT_EQ(fs::file_size(path), 8 + block.size());

    pitchlore::Analyser loaded(&KeyFinder::find);
    KeyFinder::answer = 3;  // a key finder asked again must not replace the stored key
    auto outcome = BlockFile::load(path.c_str(), 8, AnalysisBlock::Layout::Records, loaded);
    ASSERT_EQ(outcome.status, BlockFile::Status::Done);
    EXPECT_EQ(outcome.storedSize + 4, static_cast<int64_t>(block.size()));
    EXPECT_EQ(loaded.key(), 7) << "a stored key is kept";
    expectSameState(analyser, loaded);
    EXPECT_EQ(loaded.barCount(), analyser.barCount());

    // Written again at an offset over the old block, read back the same.
    ASSERT_EQ(BlockFile::writeAt(path.c_str(), 8, AnalysisBlock::write(loaded)), BlockFile::Status::Done);
    EXPECT_EQ(readAll(path).size(), 8 + block.size());
    pitchlore::Analyser again(&KeyFinder::find);
    ASSERT_EQ(BlockFile::load(path.c_str(), 8, AnalysisBlock::Layout::Records, again).status,
              BlockFile::Status::Done);
    expectSameState(analyser, again);
}

TEST_F(AnalysisFile, KeyToBeDetectedIsDetectedAgainOnLoad)
{
    analyser.takeNoteRecords({{61.0f, 20}, {63.0f, 20}}, 4);
    // Store the key as "detect" by writing the melody before a key existed.
    pitchlore::Analyser undecided;
    ASSERT_TRUE(undecided.reset(120, 0, 2048, kFPB));
    undecided.takeNoteRecords({{61.0f, 20}, {63.0f, 20}}, -1);
    ASSERT_EQ(BlockFile::append(path.c_str(), AnalysisBlock::write(undecided)), BlockFile::Status::Done);
    KeyFinder::answer = 0;
    KeyFinder::calls = 0;
    ASSERT_EQ(BlockFile::load(path.c_str(), 8, AnalysisBlock::Layout::Records, analyser).status,
              BlockFile::Status::Done);
    EXPECT_EQ(KeyFinder::calls, 1);
    EXPECT_EQ(analyser.key(), 0);
    EXPECT_EQ(analyser.outputs().noteNumbers(), (std::vector<uint8_t>{62, 64}));
}

// The older layout: the same up to the note count, then note numbers,
// lengths and the key.
std::vector<uint8_t> olderBlock(const pitchlore::Analyser& a, int32_t key)
{
    auto current = AnalysisBlock::write(a);
    size_t F = a.tracks().count();
    size_t head = 4 + 20 + (F > 0 ? 24 * F + 16 : 0);
    pitchlore::ByteWriter w;
    w.put<uint32_t>(0);
    for (size_t i = 4; i < head; ++i)
        w.put<uint8_t>(current[i]);
    const auto& o = a.outputs();
    w.put<int32_t>(static_cast<int32_t>(o.noteNumbers().size()));
    for (uint8_t n : o.noteNumbers())
        w.put<uint8_t>(n);
    for (uint16_t l : o.lengths())
        w.put<uint16_t>(l);
    w.put<int32_t>(key);
    uint32_t size = static_cast<uint32_t>(w.bytes().size() - 4);
    std::memcpy(w.bytes().data(), &size, 4);
    return w.bytes();
}

TEST_F(AnalysisFile, OlderLayoutIsSegmentedAgainFromTheTracks)
{
    KeyFinder::answer = 0;
    sing();
    ASSERT_TRUE(analyser.analyseMelody(-1));
    auto bytes = olderBlock(analyser, 5);
    ASSERT_EQ(BlockFile::append(path.c_str(), bytes), BlockFile::Status::Done);

    pitchlore::Analyser loaded(&KeyFinder::find);
    KeyFinder::answer = 3;  // a key finder asked again must not replace the stored key
    auto outcome = BlockFile::load(path.c_str(), 8, AnalysisBlock::Layout::Older, loaded);
    ASSERT_EQ(outcome.status, BlockFile::Status::Done);
    EXPECT_EQ(outcome.storedSize + 4, static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(loaded.key(), 5);
    ASSERT_EQ(loaded.notes().size(), analyser.notes().size());
    for (size_t i = 0; i < loaded.notes().size(); ++i) {
        EXPECT_EQ(loaded.notes()[i].pitch, analyser.notes()[i].pitch);
        EXPECT_EQ(loaded.notes()[i].frames, analyser.notes()[i].frames);
    }
    // Snapped against the stored key (F major has no B): the 62.2 stays 62.
    EXPECT_EQ(loaded.outputs().noteNumbers(), (std::vector<uint8_t>{60, 62, 64, 67, 128}));
}

TEST_F(AnalysisFile, DamagedBlocksLeaveTheAnalyserAlone)
{
    KeyFinder::answer = 0;
    sing();
    ASSERT_TRUE(analyser.analyseMelody(-1));
    const auto good = AnalysisBlock::write(analyser);
    const uint32_t F = analyser.tracks().count();
    const size_t notesAt = 4 + 20 + 24 * F + 16;

    auto patch = [&](size_t at, int32_t value) {
        auto b = good;
        std::memcpy(b.data() + at, &value, 4);
        return b;
    };
    auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(n)); };
    auto sized = [](std::vector<uint8_t> b) {  // fixes the size field to the bytes
        uint32_t size = static_cast<uint32_t>(b.size() - 4);
        std::memcpy(b.data(), &size, 4);
        return b;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"block longer than the file", cut(good.size() - 1)},
        {"size field cut", cut(3)},
        {"negative size", patch(0, -8)},
        {"tempo refused by reset", patch(4, 300)},
        {"metre refused by reset", patch(8, 9)},
        {"transform size negative", patch(12, -1)},
        {"no frames per beat", patch(16, 0)},
        {"more frames than bytes", patch(20, 0x10000000)},
        {"more notes than bytes", patch(notesAt, 100000)},
        {"negative note count", patch(notesAt, -3)},
        {"tracks cut short", sized(cut(24 + 8 * F))},
        {"notes cut short", sized(cut(good.size() - 4))},
    };
    for (const Case& c : cases) {
        writeAll(path, c.bytes);
        auto before = AnalysisBlock::write(analyser);
        pitchlore::Analyser fresh(&KeyFinder::find);
        EXPECT_EQ(BlockFile::load(path.c_str(), 0, AnalysisBlock::Layout::Records, analyser).status,
                  BlockFile::Status::Damaged)
            << c.what;
        EXPECT_EQ(AnalysisBlock::write(analyser), before) << c.what << ": analyser changed";
    }
}

TEST_F(AnalysisFile, EmptyBlockIsSkippedAndMissingFilesCannotBeOpened)
{
    analyser.takeNoteRecords({{60.0f, 20}}, 0);
    auto before = AnalysisBlock::write(analyser);
    writeAll(path, {'X', 'X', 0, 0, 0, 0, 'Y'});
    auto outcome = BlockFile::load(path.c_str(), 2, AnalysisBlock::Layout::Records, analyser);
    EXPECT_EQ(outcome.status, BlockFile::Status::Empty);
    EXPECT_EQ(outcome.storedSize, 0);
    EXPECT_EQ(AnalysisBlock::write(analyser), before);

    EXPECT_EQ(BlockFile::load(path.c_str(), 100, AnalysisBlock::Layout::Records, analyser).status,
              BlockFile::Status::Damaged);
    EXPECT_EQ(BlockFile::load(path.c_str(), -4, AnalysisBlock::Layout::Records, analyser).status,
              BlockFile::Status::Damaged);
    for (const char* bad : {"/nonexistent/dir/project.bin", "/tmp"}) {
        EXPECT_EQ(BlockFile::load(bad, 0, AnalysisBlock::Layout::Records, analyser).status,
                  BlockFile::Status::CannotOpen)
            << bad;
        EXPECT_EQ(BlockFile::append(bad, before), BlockFile::Status::CannotOpen) << bad;
        EXPECT_EQ(BlockFile::writeAt(bad, 0, before), BlockFile::Status::CannotOpen) << bad;
    }
    EXPECT_EQ(AnalysisBlock::write(analyser), before);
}

TEST_F(AnalysisFile, FailedAppendLeavesTheFileAsItWas)
{
    sing();
    ASSERT_TRUE(analyser.analyseMelody(0));
    auto block = AnalysisBlock::write(analyser);
    std::vector<uint8_t> original(100, 0x5A);
    writeAll(path, original);
    // A file size limit makes the write fail part-way, as a full disk would.
    struct sigaction ignore {};
    struct sigaction old {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100 + block.size() / 2;
    setrlimit(RLIMIT_FSIZE, &small);
    auto status = BlockFile::append(path.c_str(), block);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &old, nullptr);
    EXPECT_EQ(status, BlockFile::Status::WriteFailed);
    EXPECT_EQ(readAll(path), original);
}

}  // namespace
