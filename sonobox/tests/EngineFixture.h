#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "MessageLog.h"
#include "Sonobox.h"
#include "TempFolder.h"
#include "TestSignals.h"

namespace melodrift::sonobox::test {

// A fresh engine behind the C boundary, a message queue standing in for the
// program's windows, and the file-backed device.
class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* bin = std::getenv("MELODRIFT_BIN_DIR");
        ASSERT_NE(bin, nullptr) << "tests run with MELODRIFT_BIN_DIR set";
        m_bin = bin;
        m_folder.emplace(std::string("sonobox-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        m_dir = m_folder->Root();
        ::unsetenv("MELODRIFT_AUDIO");
        ASSERT_EQ(MM_InitialObjects(MainWindow(), m_bin.c_str()), 0);
        ASSERT_EQ(MM_SetTempo(100), 0);
        ASSERT_EQ(MM_SetTimeSignature(0), 0);
    }

    void TearDown() override
    {
        MM_DestroyObjects();
        ::unsetenv("MELODRIFT_AUDIO");
    }

    // Uses a WAV file as the microphone; out (if given) receives the speaker.
    void UseFileDevice(const std::string& input, const std::string& out = {})
    {
        std::string spec = "file:" + input + (out.empty() ? "" : ";out=" + out);
        ::setenv("MELODRIFT_AUDIO", spec.c_str(), 1);
    }

    std::string Path(const std::string& name) const { return m_dir + "/" + name; }

    MDP_Window MainWindow() { return &m_mainWindow; }
    MDP_Window Screen() { return &m_screen; }

    MessageLog m_log;
    std::string m_bin;
    std::string m_dir;
    std::optional<testsupport::TempFolder> m_folder;

private:
    int m_mainWindow = 0;
    int m_screen = 0;
};

} // namespace melodrift::sonobox::test
