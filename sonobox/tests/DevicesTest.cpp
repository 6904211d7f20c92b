#include <cstring>
#include <filesystem>
#include <thread>

#include "EngineFixture.h"

namespace melodrift::sonobox::test {
namespace {

class Devices : public EngineFixture {};

TEST_F(Devices, FileDeviceIsListedAsTheDefaultWithOneInput)
{
    WriteWav(Path("mic.wav"), Sine(440, 1.0));
    UseFileDevice(Path("mic.wav"));
    std::vector<MM_RecordDeviceInfo> devices(20);
    int count = MM_GetRecordDeviceInfo(20, devices.data());
    ASSERT_GE(count, 1);
    EXPECT_EQ(devices[0].id, 1000);
    EXPECT_NE(devices[0].flags & MM_DEVICE_DEFAULT, 0u);
    EXPECT_NE(std::strstr(devices[0].name, "mic.wav"), nullptr);
    for (int i = 1; i < count; ++i)
        EXPECT_EQ(devices[static_cast<std::size_t>(i)].flags & MM_DEVICE_DEFAULT, 0u);

    std::vector<MM_RecordInputInfo> inputs(20);
    ASSERT_EQ(MM_GetRecordInputInfo(1000, 20, inputs.data()), 1);
    EXPECT_EQ(inputs[0].flags & MM_INPUT_NOT_DEFAULT, 0u);
    EXPECT_EQ(MM_GetRecordInputInfo(4242, 20, inputs.data()), -1);
    EXPECT_EQ(MM_GetRecordDeviceInfo(0, devices.data()), 0);
}

TEST_F(Devices, ChoosingADeviceWritesBackWhatIsInUse)
{
    WriteWav(Path("mic.wav"), Sine(440, 1.0));
    UseFileDevice(Path("mic.wav"));
    int32_t id = -1, input = 7;
    float volume = 0.8f;
    ASSERT_EQ(MM_SetRecordDevice(&id, "", &input, &volume), 0);
    EXPECT_EQ(id, 1000);   // the default device
    EXPECT_EQ(input, 0);   // 7 is no input of it
    EXPECT_FLOAT_EQ(volume, 0.8f);
    EXPECT_EQ(MM_GetStreamVolume(1), 80);
    float keep = -1.0f;
    ASSERT_EQ(MM_SetRecordDevice(&id, "", &input, &keep), 0);
    EXPECT_FLOAT_EQ(keep, 0.8f);
    // A device named as a file spec works without the environment.
    ::unsetenv("MELODRIFT_AUDIO");
    std::string spec = "file:" + Path("mic.wav");
    int32_t none = -1;
    ASSERT_EQ(MM_SetRecordDevice(&none, spec.c_str(), &input, nullptr), 0);
    EXPECT_EQ(none, 1000);
}

TEST_F(Devices, InputTestRunsUntilStoppedAndAutoLevelTamesALoudInput)
{
    // A near full-scale input at the default gain clips; automatic level
    // must turn the recording volume down and say so.
    WriteWav(Path("loud.wav"), Sine(300, 30.0, 0.98));
    UseFileDevice(Path("loud.wav"));
    ASSERT_EQ(MM_SetRecordAutoAdjust(1), 0);
    ASSERT_EQ(MM_RecordTest(1000, 0, Screen()), 0);
    EXPECT_EQ(MM_GetStreamVolume(1), 50); // the dialog reads the volume, not a level
    auto change = m_log.WaitFor(UM_RECORD_VOLUME, std::chrono::seconds(10));
    ASSERT_TRUE(change);
    EXPECT_EQ(change->window, Screen());
    EXPECT_LT(change->wParam, 50);
    EXPECT_GE(MM_GetLatency(), 0.0);
    MM_Stop();
    EXPECT_LT(MM_GetStreamVolume(1), 50); // the engine keeps the new volume
    EXPECT_EQ(m_log.Count(UM_ENGINE_STOPPED), 0u);
    EXPECT_EQ(MM_RecordTest(4242, 0, Screen()), MM_ERR_NODEVICE);
}

TEST_F(Devices, AutoLevelOffLeavesTheVolumeAlone)
{
    WriteWav(Path("loud.wav"), Sine(300, 30.0, 0.98));
    UseFileDevice(Path("loud.wav"));
    ASSERT_EQ(MM_SetRecordAutoAdjust(0), 0);
    ASSERT_EQ(MM_RecordTest(1000, 0, Screen()), 0);
    EXPECT_FALSE(m_log.WaitFor(UM_RECORD_VOLUME, std::chrono::milliseconds(500)));
    MM_Stop();
    EXPECT_EQ(MM_GetStreamVolume(1), 50);
}

TEST_F(Devices, MonitoringSendsTheInputToTheSpeaker)
{
    WriteWav(Path("mic.wav"), Sine(500, 2.0, 0.4));
    for (int monitor : {0, 1}) {
        std::string out = Path("out" + std::to_string(monitor) + ".wav");
        UseFileDevice(Path("mic.wav"), out);
        ASSERT_EQ(MM_SetRecordMoniter(monitor), 0);
        ASSERT_EQ(MM_RecordTest(1000, 0, Screen()), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        MM_Stop();
        auto heard = ReadAudioPeak(out);
        if (monitor)
            EXPECT_NEAR(heard, 0.4, 0.02);
        else
            EXPECT_EQ(heard, 0.0f);
    }
}

TEST_F(Devices, FontInfoNamesTheFileAndRefusesOtherFiles)
{
    std::string font = m_bin + "/Fonts/Pop default.sf2";
    ASSERT_TRUE(std::filesystem::exists(font)) << "the build puts the default font beside the program";
    char name[80], info1[128], info2[256];
    ASSERT_EQ(MM_GetFontInfo(font.c_str(), name, info1, info2), 0);
    EXPECT_STREQ(name, "Pop default");
    WriteWav(Path("not-a-font.wav"), Sine(440, 0.1));
    EXPECT_EQ(MM_GetFontInfo(Path("not-a-font.wav").c_str(), name, info1, info2), -1);
    EXPECT_EQ(MM_GetFontInfo(Path("missing.sf2").c_str(), name, info1, info2), -1);

    FONTINFO record{};
    std::strncpy(record.path, font.c_str(), sizeof record.path - 1);
    EXPECT_EQ(MM_SetFont(&record), 0);
    std::strncpy(record.path, Path("not-a-font.wav").c_str(), sizeof record.path - 1);
    EXPECT_EQ(MM_SetFont(&record), -1);
    // The previous font stays: rendering still works.
    std::vector<std::uint8_t> midi = MakeMidiFile(120, {{60, 1}});
    EXPECT_EQ(MM_LoadBaseCompose(midi.data(), static_cast<int32_t>(midi.size())), 0);
}

TEST_F(Devices, EntryPointsWithoutAnEngineFailCleanly)
{
    MM_DestroyObjects();
    EXPECT_EQ(MM_DestroyObjects(), -1);
    EXPECT_EQ(MM_Play(Screen(), 0, 5), -1);
    EXPECT_EQ(MM_Record(Screen(), 0, -1, -1, 0), -1);
    EXPECT_EQ(MM_GetStreamVolume(1), -1);
    EXPECT_EQ(MM_GetMelodyInfo(nullptr, 0, 0), 0);
    EXPECT_EQ(MM_Stop(), 0);
    EXPECT_EQ(MM_ActiveAPR(1), MM_ERR_UNSUPPORTED);
    ASSERT_EQ(MM_InitialObjects(MainWindow(), m_bin.c_str()), 0);
}

} // namespace
} // namespace melodrift::sonobox::test
