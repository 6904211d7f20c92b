#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "CliError.h"
#include "OutputPath.h"
#include "TempFolder.h"

namespace melodrift::cli {
namespace {

namespace fs = std::filesystem;

TEST(OutputPath, ExtensionChoosesTheKindAndRefusesTheRest)
{
    const std::pair<const char*, OutputKind> cases[] = {{"a.mp3", OutputKind::Mp3},      {"dir.x/a.WAV", OutputKind::Wav},
                                                        {"a.mid", OutputKind::Midi},     {"a.midi", OutputKind::Midi},
                                                        {"a.cpj", OutputKind::Project}};
    for (const auto& [path, kind] : cases)
        EXPECT_EQ(OutputKindOf(path, true), kind) << path;
    EXPECT_THROW(OutputKindOf("a.cpj", false), CliError) << "render cannot write a project";
    for (const char* bad : {"a.ogg", "a", "mp3", "a.mp3.txt"})
        EXPECT_THROW(OutputKindOf(bad, true), CliError) << bad;
}

class Writable : public ::testing::Test {
protected:
    // A test takes the write permission away; the folder goes with it back.
    void TearDown() override { fs::permissions(m_dir, fs::perms::owner_all); }
    ExitCode CodeOf(const std::string& path)
    {
        try {
            CheckWritable(path);
            return kExitOk;
        } catch (const CliError& e) {
            return e.Code();
        }
    }
    testsupport::TempFolder m_folder{"cli_out"};
    const fs::path m_dir = m_folder.Path();
};

TEST_F(Writable, OnlyAPathInAnExistingWritableFolderPassesAndNothingIsLeft)
{
    EXPECT_EQ(CodeOf((m_dir / "song.mp3").string()), kExitOk);
    EXPECT_TRUE(fs::is_empty(m_dir)) << "the probe file is removed";
    EXPECT_EQ(CodeOf((m_dir / "missing" / "song.mp3").string()), kExitOutput);
    EXPECT_EQ(CodeOf(m_dir.string()), kExitOutput) << "a folder is not a file";
    if (::geteuid() != 0) {   // root writes anywhere
        fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(CodeOf((m_dir / "song.mp3").string()), kExitOutput);
    }
    EXPECT_EQ(CodeOf("/proc/song.mp3"), kExitOutput) << "a folder nobody can create files in";
}

} // namespace
} // namespace melodrift::cli
