// Arbitrary bytes as a melody: metre, resolution, key and notes all come from
// the input, and the caller arrays are exactly as large as promised so that
// any write past them shows.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "Tonalyze.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const int32_t ts = data[0];
    const int32_t tpb = data[1] == 0 ? 192 : data[1];
    const int32_t key = static_cast<int8_t>(data[2]);
    const uint8_t mode = data[3];
    std::vector<uint8_t> notes;
    std::vector<uint16_t> lengths;
    for (size_t i = 4; i + 3 <= size; i += 3) {
        notes.push_back(data[i]);
        uint16_t len;
        std::memcpy(&len, data + i + 1, sizeof len);
        lengths.push_back(len);
    }
    const auto count = static_cast<int32_t>(notes.size());
    MA_KeyAnalysis(notes.data(), lengths.data(), count, tpb, ts);

    int32_t bars = 0;
    if (MA_InputMelody(notes.data(), lengths.data(), count, tpb, ts, 120, &bars) != 0) {
        MA_Release();
        return 0;
    }
    const auto n = static_cast<size_t>(bars);
    std::vector<MA_Section> sections(n);
    std::vector<MA_Chord> chords(2 * n);
    std::vector<MA_Fill> fills(n > 1 ? n - 1 : 1);
    int32_t ns = 0, nc = 0, nf = -static_cast<int32_t>(fills.size());
    MA_MelodyAnalysis(key, &ns, sections.data(), &nc, chords.data(), &nf, fills.data());

    // Caller sections taken from the input, sometimes valid, mostly not.
    if (mode & 1) {
        ns = 0;
        int32_t last = -1;
        for (size_t i = 4; i < size && ns < bars; i += 5) {
            last += static_cast<int8_t>(data[i]);
            sections[static_cast<size_t>(ns++)] = {last, 0};
        }
        if (ns > 0 && (mode & 2))
            sections[static_cast<size_t>(ns - 1)].lastBar = bars - 1;
        nc = 0;
        nf = 0;
        MA_MelodyAnalysis(key, &ns, sections.data(), &nc, chords.data(), &nf, fills.data());
    }
    if (mode & 4) {
        nc = -static_cast<int32_t>(mode >> 3);
        ns = 0;
        nf = 0;
        MA_MelodyAnalysis((key + 1) % 13, &ns, sections.data(), &nc, chords.data(), &nf, fills.data());
    }
    MA_Release();
    return 0;
}
