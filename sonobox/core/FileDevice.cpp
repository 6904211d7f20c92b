#include "FileDevice.h"

#include <sndfile.h>

#include <chrono>
#include <cstdlib>
#include <vector>

#include "AudioProcessor.h"
#include "Sonobox.h"
#include "SoundFile.h"

namespace melodrift::sonobox {

std::optional<FileDeviceSpec> ParseFileDeviceSpec(const std::string& text)
{
    if (text == "null")
        return FileDeviceSpec{};
    const std::string prefix = "file:";
    if (text.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    FileDeviceSpec spec;
    std::size_t start = prefix.size();
    bool first = true;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        std::string part = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (first)
            spec.input = part;
        else if (part.rfind("out=", 0) == 0)
            spec.output = part.substr(4);
        else if (part == "realtime")
            spec.realtime = true;
        else if (part.rfind("lost=", 0) == 0) {
            char* last = nullptr;
            const long ms = std::strtol(part.c_str() + 5, &last, 10);
            if (last == part.c_str() + 5 || *last != '\0' || ms < 0 || ms > 24L * 3600 * 1000)
                return std::nullopt;
            spec.lostAfter = static_cast<std::int64_t>(ms) * kSampleRate / 1000;
        }
        else if (!part.empty())
            return std::nullopt;
        first = false;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return spec;
}

FileDevice::FileDevice(FileDeviceSpec spec) : m_spec(std::move(spec)) {}

FileDevice::~FileDevice() { Stop(); }

int FileDevice::Start(AudioProcessor& processor)
{
    Stop();
    m_input.clear();
    if (!m_spec.input.empty()) {
        auto samples = ReadMonoFile(m_spec.input);
        if (!samples)
            return MM_ERR_CANTOPEN;
        m_input = std::move(*samples);
    }
    m_stop = false;
    m_lost = false;
    m_inputEnded = m_spec.input.empty() ? false : m_input.empty();
    m_thread = std::thread([this, &processor] { Run(processor); });
    return 0;
}

void FileDevice::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void FileDevice::Run(AudioProcessor& processor)
{
    constexpr std::size_t kBlock = 512;
    SNDFILE* out = nullptr;
    if (!m_spec.output.empty()) {
        SF_INFO info{};
        info.samplerate = kSampleRate;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        out = sf_open(m_spec.output.c_str(), SFM_WRITE, &info);
    }
    std::vector<float> in(kBlock);
    std::vector<float> block(kBlock * 2);
    std::size_t read = 0;
    auto next = std::chrono::steady_clock::now();
    const auto period = std::chrono::microseconds(kBlock * 1000000 / kSampleRate);
    while (!m_stop) {
        if (m_spec.lostAfter >= 0 && static_cast<std::int64_t>(read) >= m_spec.lostAfter)
            m_lost = true;
        if (m_lost) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        if (processor.Program().capture && processor.Captured().Space() < kBlock) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        for (std::size_t i = 0; i < kBlock; ++i)
            in[i] = read + i < m_input.size() ? m_input[read + i] : 0.0f;
        if (!m_spec.input.empty() && read >= m_input.size()) {
            m_inputEnded = true;
            if (processor.Program().capture) {
                // A take ends with its file; nothing more is captured.
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
        }
        processor.Process(in.data(), block.data(), kBlock);
        if (processor.LastBlockStarved()) {
            // Without a deadline there is no need to fill the wait with silence.
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        read += kBlock;
        if (out)
            sf_writef_float(out, block.data(), kBlock);
        if (m_spec.realtime) {
            next += period;
            std::this_thread::sleep_until(next);
        } else if (processor.Finished() || (processor.Program().endFrame < 0 && !processor.Program().endAfterRender &&
                                            !processor.Program().capture)) {
            // Nothing waits on an endless program; keep it from spinning.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (out)
        sf_close(out);
}

} // namespace melodrift::sonobox
