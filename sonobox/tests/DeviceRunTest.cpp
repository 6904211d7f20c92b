#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "DeviceRun.h"
#include "FileDevice.h"
#include "TempFolder.h"
#include "TestSignals.h"

namespace melodrift::sonobox::test {
namespace {

constexpr std::size_t kDeviceBlock = 512; // frames the file device delivers at a time

TEST(DeviceRunEnd, ADeviceLostWhileTheWorkerLagsLeavesEveryDeliveredFrameInTheTake)
{
    // The worker is held (where it says a new recording level) until the
    // device has gone, so the last second the device delivered is still
    // queued when the worker sees the loss.
    const testsupport::TempFolder folder("DeviceRunEnd");
    const std::string dir = folder.Root();
    WriteWav(dir + "/in.wav", Sine(440, 3.0, 0.05)); // quiet: the level goes up after the first second
    FileDeviceSpec spec;
    spec.input = dir + "/in.wav";
    spec.realtime = true;
    spec.lostAfter = 2 * kSampleRate;
    const std::size_t delivered =
        (static_cast<std::size_t>(spec.lostAfter) + kDeviceBlock - 1) / kDeviceBlock * kDeviceBlock;

    DeviceRun run(DeviceRun::Kind::Record, nullptr, 0);
    run.take = std::make_unique<RecordingTake>();
    auto program = std::make_shared<PlaybackProgram>();
    program->capture = true;
    run.Prepare(program, 0.5f);
    ASSERT_EQ(run.Start(std::make_unique<FileDevice>(spec)), 0);

    std::atomic<bool> autoLevel{true};
    std::atomic<int> holds{0};
    std::promise<std::pair<std::size_t, bool>> ended;
    run.StartWorker(
        autoLevel,
        [&ended](DeviceRun& r, bool deviceLost) { ended.set_value({r.take->captured.size(), deviceLost}); },
        [&holds](DeviceRun& r, float) {
            ++holds;
            while (!r.Device().Failed())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    auto result = ended.get_future();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    const auto [captured, lost] = result.get();
    EXPECT_TRUE(lost);
    EXPECT_EQ(holds.load(), 1);
    EXPECT_EQ(captured, delivered);
}

} // namespace
} // namespace melodrift::sonobox::test
