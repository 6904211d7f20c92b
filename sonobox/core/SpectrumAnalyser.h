#pragma once

#include <cstddef>
#include <memory>
#include <vector>

namespace melodrift::sonobox {

// Magnitude spectrum of one Hann-windowed frame (FFTW, single precision).
// Plans are made once per analyser; Analyse allocates nothing.
class SpectrumAnalyser {
public:
    explicit SpectrumAnalyser(std::size_t fftSize);
    ~SpectrumAnalyser();
    SpectrumAnalyser(const SpectrumAnalyser&) = delete;
    SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

    std::size_t Size() const { return m_size; }

    // Transforms fftSize samples centred on centre (samples outside the
    // signal count as silence) and returns fftSize/2 + 1 magnitudes.
    const std::vector<float>& Analyse(const float* signal, std::size_t length, long long centre);

private:
    struct Plan;
    std::size_t m_size;
    std::vector<float> m_window;
    std::vector<float> m_magnitudes;
    std::unique_ptr<Plan> m_plan;
};

} // namespace melodrift::sonobox
