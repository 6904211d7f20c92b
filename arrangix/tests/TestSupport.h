#pragma once
// Shared pieces of the tests: a style store in memory, a small style, the
// log reader and an independent MIDI reader.

#include "KrvBuilder.h"
#include "TestStyle.h"
#include "MelodriftPlatform.h"
#include "StyleCatalog.h"
#include "LogLines.h"
#include "MidiSummary.h"

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace krvtest {

struct FakeStore {
    std::map<int32_t, std::vector<uint8_t>> data;  // compressed
    std::map<int32_t, melodrift::arrangix::StyleInfo> infos;
    int dataCalls = 0;
    int infoCalls = 0;

    void add(int32_t id, const Style& s) { data[id] = deflate(krv(s)); }

    melodrift::arrangix::StoreAccess access()
    {
        melodrift::arrangix::StoreAccess a;
        a.getData = [this](int32_t id, const uint8_t** p, int32_t* size) {
            ++dataCalls;
            auto it = data.find(id);
            if (it == data.end())
                return -1;
            *p = it->second.data();
            *size = int32_t(it->second.size());
            return 0;
        };
        a.getInfo = [this](int32_t id, void* record) {
            ++infoCalls;
            auto it = infos.find(id);
            if (it == infos.end())
                return 1;
            std::memcpy(record, it->second.data(), it->second.size());
            return 0;
        };
        return a;
    }
};

// Log lines, as every library's tests collect them.
using LogCapture = melodrift::testsupport::LogLines;


// What an independent reader (mido) sees in a MIDI file.
struct MidoView {
    bool ok = false;
    std::string error;
    int type = -1;
    int ticksPerBeat = 0;
    std::vector<std::string> names;  // per track ("" when none)
    std::vector<int> noteOns;        // per track, velocity > 0
    std::vector<int> lengths;        // per track, total ticks
};

// Through the shared bridge to mido, per track as the tests compare them.
inline MidoView readWithMido(const uint8_t* data, size_t size)
{
    const auto summary = melodrift::testsupport::SummariseMidi(std::vector<uint8_t>(data, data + size));
    MidoView v;
    v.ok = summary.ok;
    v.error = summary.error;
    v.type = summary.type;
    v.ticksPerBeat = summary.ticksPerBeat;
    for (const auto& t : summary.tracks) {
        v.names.push_back(t.name);
        v.noteOns.push_back(t.noteOns);
        v.lengths.push_back(static_cast<int>(t.lengthTicks));
    }
    return v;
}

}  // namespace krvtest
