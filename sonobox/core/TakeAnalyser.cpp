#include "TakeAnalyser.h"

#include "PitchloreLibrary.h"

namespace melodrift::sonobox {

TakeAnalyser::TakeAnalyser(PitchloreLibrary& recogniser, AnalysisSettings settings)
    : m_recogniser(recogniser), m_settings(settings)
{
}

bool TakeAnalyser::Begin(int tempo, int metre)
{
    m_active = false;
    m_nextFrame = 0;
    if (!m_recogniser.Ready() || tempo <= 0)
        return false;
    if (m_recogniser.ResetAnalyser(tempo, metre, m_settings.fftSize, static_cast<std::uint32_t>(m_settings.framesPerBeat)) != 0)
        return false;
    if (!m_spectrum || m_spectrum->Size() != static_cast<std::size_t>(m_settings.fftSize))
        m_spectrum = std::make_unique<SpectrumAnalyser>(static_cast<std::size_t>(m_settings.fftSize));
    m_hop = 60.0 * kSampleRate / (static_cast<double>(tempo) * m_settings.framesPerBeat);
    m_active = true;
    return true;
}

void TakeAnalyser::AnalyseFrame(const float* take, std::size_t length)
{
    auto centre = static_cast<long long>((m_nextFrame + 0.5) * m_hop);
    const std::vector<float>& magnitudes = m_spectrum->Analyse(take, length, centre);
    m_recogniser.FrameAnalysis(m_nextFrame, magnitudes.data());
    ++m_nextFrame;
}

void TakeAnalyser::Feed(const float* take, std::size_t available)
{
    if (!m_active)
        return;
    auto half = static_cast<double>(m_settings.fftSize / 2);
    while ((m_nextFrame + 0.5) * m_hop + half <= static_cast<double>(available))
        AnalyseFrame(take, available);
}

Recognition TakeAnalyser::Finish(const float* take, std::size_t length)
{
    Recognition result;
    if (!m_active)
        return result;
    Feed(take, length);
    // Frames whose centre still lies inside the take, padded with silence.
    while ((m_nextFrame + 0.5) * m_hop < static_cast<double>(length))
        AnalyseFrame(take, length);
    int leadIn = 0;
    int bars = 0;
    int notes = m_recogniser.MelodyAnalysis(&leadIn, &bars, -1);
    result.pitchedNotes = notes > 0 ? notes : 0;
    if (notes >= 0) {
        result.leadInBars = leadIn;
        result.barCount = bars;
    }
    m_active = false;
    return result;
}

Recognition RecogniseTake(PitchloreLibrary& recogniser, AnalysisSettings settings, const MonoBuffer& take, int tempo,
                          int metre)
{
    TakeAnalyser analyser(recogniser, settings);
    if (!analyser.Begin(tempo, metre))
        return {};
    return analyser.Finish(take.data(), take.size());
}

} // namespace melodrift::sonobox
