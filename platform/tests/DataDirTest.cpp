#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "DataDir.h"

namespace fs = std::filesystem;
using melodrift::platform::FindDataDir;

class DataDir : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_root = fs::temp_directory_path() / ("melodrift-datadir-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
    }
    void TearDown() override { fs::remove_all(m_root); }
    std::string Make(const std::string& relative)
    {
        fs::create_directories(m_root / relative);
        return (m_root / relative).string();
    }
    fs::path m_root;
};

TEST_F(DataDir, FindsDataBesideTheLibrariesOrUnderShare)
{
    // A build: styles beside the libraries.
    const std::string build = Make("build/bin");
    Make("build/bin/styles");
    EXPECT_EQ(FindDataDir(build), build);

    // An install with the libraries in lib/melodrift.
    const std::string libs = Make("usr/lib/melodrift");
    Make("usr/share/melodrift/Fonts");
    EXPECT_EQ(FindDataDir(libs), (m_root / "usr/share/melodrift").string());
    EXPECT_EQ(FindDataDir(libs + "/"), (m_root / "usr/share/melodrift").string());

    // Libraries straight in lib/.
    const std::string flat = Make("opt/lib");
    Make("opt/share/melodrift/styles");
    EXPECT_EQ(FindDataDir(flat), (m_root / "opt/share/melodrift").string());

    // Nothing anywhere: the library folder, as before.
    const std::string bare = Make("bare/lib/melodrift");
    EXPECT_EQ(FindDataDir(bare), bare);
}
