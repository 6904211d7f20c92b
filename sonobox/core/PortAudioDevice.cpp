#include "PortAudioDevice.h"

#include <portaudio.h>

#include <algorithm>
#include <string>

#include "AudioFormat.h"
#include "AudioProcessor.h"
#include "Sonobox.h"

namespace melodrift::sonobox {
namespace {

constexpr unsigned long kFramesPerBuffer = 256;
constexpr int kMaxInputs = 20;

int MapError(PaError error)
{
    switch (error) {
    case paInsufficientMemory: return MM_ERR_NOMEM;
    case paInvalidDevice:
    case paDeviceUnavailable: return MM_ERR_NODEVICE;
    case paInvalidSampleRate:
    case paInvalidChannelCount:
    case paSampleFormatNotSupported: return MM_ERR_BADFORMAT;
    case paHostApiNotFound:
    case paInvalidHostApi:
    case paIncompatibleHostApiSpecificStreamInfo: return MM_ERR_BADDRIVER;
    case paUnanticipatedHostError: return MM_ERR_BUSY; // ALSA reports a busy device this way
    default: return MM_ERR_CANTOPEN;
    }
}

// Pa_Initialize and Pa_Terminate nest; one guard per use.
struct PortAudioScope {
    bool ok = Pa_Initialize() == paNoError;
    ~PortAudioScope()
    {
        if (ok)
            Pa_Terminate();
    }
};

} // namespace

std::vector<DeviceEntry> ListPortAudioDevices()
{
    std::vector<DeviceEntry> devices;
    PortAudioScope scope;
    if (!scope.ok)
        return devices;
    PaDeviceIndex defaultInput = Pa_GetDefaultInputDevice();
    for (PaDeviceIndex i = 0; i < Pa_GetDeviceCount(); ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (!info || info->maxInputChannels < 1)
            continue;
        DeviceEntry entry;
        entry.id = i;
        entry.name = info->name ? info->name : "";
        entry.isDefault = i == defaultInput;
        for (int c = 0; c < std::min(info->maxInputChannels, kMaxInputs); ++c)
            entry.inputs.push_back("Input " + std::to_string(c + 1));
        devices.push_back(std::move(entry));
    }
    return devices;
}

PortAudioDevice::PortAudioDevice(int deviceIndex, int channel) : m_device(deviceIndex), m_channel(std::max(0, channel)) {}

PortAudioDevice::~PortAudioDevice() { Stop(); }

int PortAudioDevice::Start(AudioProcessor& processor)
{
    Stop();
    if (Pa_Initialize() != paNoError)
        return MM_ERR_BADDRIVER;
    m_initialised = true;
    if (m_device < 0 || m_device >= Pa_GetDeviceCount())
        return MM_ERR_NODEVICE;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(m_device);
    if (!info || info->maxInputChannels < 1)
        return MM_ERR_NODEVICE;
    m_channels = std::min(info->maxInputChannels, m_channel + 1);
    m_mono.assign(kFramesPerBuffer * 16, 0.0f);
    PaStreamParameters in{};
    in.device = m_device;
    in.channelCount = m_channels;
    in.sampleFormat = paFloat32;
    in.suggestedLatency = info->defaultLowInputLatency;
    PaStreamParameters out{};
    PaStreamParameters* outPtr = nullptr;
    PaDeviceIndex output = Pa_GetDefaultOutputDevice();
    if (output != paNoDevice) {
        out.device = output;
        out.channelCount = 2;
        out.sampleFormat = paFloat32;
        out.suggestedLatency = Pa_GetDeviceInfo(output)->defaultLowOutputLatency;
        outPtr = &out;
    }
    m_processor = &processor;
    PaStream* stream = nullptr;
    PaError error = Pa_OpenStream(&stream, &in, outPtr, kSampleRate, kFramesPerBuffer, paNoFlag,
                                  reinterpret_cast<PaStreamCallback*>(&PortAudioDevice::Callback), this);
    if (error != paNoError)
        return MapError(error);
    m_stream = stream;
    if (const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream))
        m_latencyMs = (streamInfo->inputLatency + (outPtr ? streamInfo->outputLatency : 0.0)) * 1000.0;
    error = Pa_StartStream(stream);
    if (error != paNoError) {
        Pa_CloseStream(stream);
        m_stream = nullptr;
        return MapError(error);
    }
    return 0;
}

bool PortAudioDevice::Failed() const
{
    return m_stream && Pa_IsStreamActive(static_cast<PaStream*>(m_stream)) != 1;
}

void PortAudioDevice::Stop()
{
    if (m_stream) {
        Pa_StopStream(static_cast<PaStream*>(m_stream));
        Pa_CloseStream(static_cast<PaStream*>(m_stream));
        m_stream = nullptr;
    }
    if (m_initialised) {
        Pa_Terminate();
        m_initialised = false;
    }
}

int PortAudioDevice::Callback(const void* input, void* output, unsigned long frames, const void*, unsigned long,
                              void* user)
{
    auto* self = static_cast<PortAudioDevice*>(user);
    const auto* in = static_cast<const float*>(input);
    const float* mono = nullptr;
    if (in && frames <= self->m_mono.size()) {
        for (unsigned long i = 0; i < frames; ++i)
            self->m_mono[i] = in[i * static_cast<unsigned long>(self->m_channels) + static_cast<unsigned long>(self->m_channel)];
        mono = self->m_mono.data();
    }
    if (output) {
        self->m_processor->Process(mono, static_cast<float*>(output), frames);
    } else {
        // Capture only: the processor still needs somewhere to mix.
        float scratch[2 * kFramesPerBuffer];
        for (unsigned long done = 0; done < frames;) {
            unsigned long n = std::min(frames - done, kFramesPerBuffer);
            self->m_processor->Process(mono ? mono + done : nullptr, scratch, n);
            done += n;
        }
    }
    return paContinue;
}

} // namespace melodrift::sonobox
