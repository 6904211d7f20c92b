#include "AnalyserConfig.h"

namespace pitchlore {

namespace {

// The band starts above 65 Hz, under the lowest note a bass sings (D2 is
// 73 Hz) and over 50 and 60 Hz mains: a 60 Hz hum reached into a band from
// 60 Hz and took over whole notes of a quiet voice.
constexpr int64_t kBandFloorHz = 65;

uint32_t beatsPerBar(int32_t TS)
{
    static constexpr uint32_t beats[] = {4, 3, 2, 3, 3};
    return beats[TS];
}

uint32_t notesPerBeat(int32_t tempo, int32_t TS, uint32_t FPB)
{
    if (TS == 3)
        return 2;
    uint32_t npb = FPB < 12 ? 2 : 4;
    if (tempo > 120)
        npb = 2;
    return npb;
}

}  // namespace

std::optional<AnalyserConfig> AnalyserConfig::make(int32_t tempo, int32_t TS, int32_t FFT, uint32_t FPB)
{
    if (tempo < kMinTempo || tempo > kMaxTempo)
        return std::nullopt;
    if (TS < 0 || TS > 4)
        return std::nullopt;
    if (FFT < 0 || FFT > kMaxFFT || FPB < 1 || FPB > kMaxFPB)
        return std::nullopt;
    AnalyserConfig c;
    c.tempo = tempo;
    c.TS = TS;
    c.FFT = FFT;
    c.FPB = FPB;
    c.BPB = beatsPerBar(TS);
    c.NPB = notesPerBeat(tempo, TS, FPB);
    c.referenceBin = FFT * 440.0 / kSampleRate;
    c.lowestBin = static_cast<uint32_t>(kBandFloorHz * FFT / 44100) + 1;
    c.highestBin = static_cast<uint32_t>(3600LL * FFT / 44100);
    return c;
}

}  // namespace pitchlore
