#pragma once
// Shared pieces of the tests: a style store in memory, a small style, the
// log reader and an independent MIDI reader.

#include "KrvBuilder.h"
#include "MelodriftPlatform.h"
#include "StyleCatalog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace krvtest {

struct FakeStore {
    std::map<int32_t, std::vector<uint8_t>> data;  // compressed
    std::map<int32_t, arrangix::StyleInfo> infos;
    int dataCalls = 0;
    int infoCalls = 0;

    void add(int32_t id, const Style& s) { data[id] = deflate(krv(s)); }

    arrangix::StoreAccess access()
    {
        arrangix::StoreAccess a;
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

// A 4/4 style: main patterns 0 and 1 of four bars (piano chord tones on
// channel 0, bass C2 on channel 8, drums as the unpitched part), fills 0 and
// 1 of one bar, intro 0 of two bars (major and minor groups), outro 0 of one
// bar.
inline Style smallStyle(uint8_t metre = 0)
{
    const uint32_t bar = metre == 0 ? 768 : metre == 2 ? 384 : 576;
    Style s;
    s.metre = metre;
    if (metre == 3) {
        s.clocksPerClick = 0x18;
        s.thirtySeconds = 8;
    }
    auto piano = [&](uint32_t bars, uint8_t third) {
        Events e;
        e.program(0, 0, 0);
        for (uint32_t b = 0; b < bars; ++b) {
            e.note(b * bar, b * bar + bar / 2, 0, 60);
            e.note(b * bar, b * bar + bar / 2, 0, third);
            e.note(b * bar, b * bar + bar / 2, 0, 67);
        }
        return Track{uint16_t(bars * bar), e.end(bars * bar)};
    };
    auto bass = [&](uint32_t bars) {
        Events e;
        e.program(0, 8, 33);
        for (uint32_t b = 0; b < bars; ++b)
            e.note(b * bar, b * bar + bar / 2, 8, 36);
        return Track{uint16_t(bars * bar), e.end(bars * bar)};
    };
    auto drums = [&](uint32_t bars) {
        Events e;
        for (uint32_t beat = 0; beat < bars * bar / 192; ++beat)
            e.note(beat * 192, beat * 192 + 48, 9, beat % 2 ? 38 : 36);
        return Track{uint16_t(bars * bar), e.end(bars * bar)};
    };
    for (uint8_t id : {0, 1})
        s.kinds[0].push_back(Segment{id, {{piano(4, 64), bass(4)}, {piano(4, 63), bass(4)}}, drums(4)});
    for (uint8_t id : {0, 1})
        s.kinds[1].push_back(Segment{id, {{piano(1, 64)}}, drums(1)});
    s.kinds[2].push_back(Segment{0, {{piano(2, 64), bass(2)}, {piano(2, 63), bass(2)}}, {}});
    s.kinds[3].push_back(Segment{0, {{piano(1, 64)}, {piano(1, 63)}}, {}});
    return s;
}

// Reads log lines while alive.
class LogCapture {
public:
    LogCapture() { MDP_SetDebugSink(&LogCapture::sink, this); }
    ~LogCapture() { MDP_SetDebugSink(nullptr, nullptr); }
    bool contains(const std::string& text) const
    {
        for (const auto& l : lines)
            if (l.find(text) != std::string::npos)
                return true;
        return false;
    }
    int count(const std::string& text) const
    {
        int n = 0;
        for (const auto& l : lines)
            n += l.find(text) != std::string::npos;
        return n;
    }
    std::vector<std::string> lines;

private:
    static void sink(const char* line, void* ctx) { static_cast<LogCapture*>(ctx)->lines.emplace_back(line); }
};

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

inline MidoView readWithMido(const uint8_t* data, size_t size)
{
    MidoView v;
    char path[] = "/tmp/arrangix-mido-XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0)
        return v;
    FILE* f = fdopen(fd, "wb");
    fwrite(data, 1, size, f);
    fclose(f);
    std::string script =
        "import sys, mido\n"
        "m = mido.MidiFile(sys.argv[1])\n"
        "print('TYPE', m.type, m.ticks_per_beat)\n"
        "for t in m.tracks:\n"
        "    name = ''\n"
        "    for msg in t:\n"
        "        if msg.type == 'track_name': name = msg.name\n"
        "    ons = sum(1 for msg in t if msg.type == 'note_on' and msg.velocity > 0)\n"
        "    print('TRACK', ons, sum(msg.time for msg in t), name.replace(' ', '_') or '-')\n";
    std::string scriptPath = std::string(path) + ".py";
    std::ofstream(scriptPath) << script;
    std::string cmd = "/usr/bin/python3 " + scriptPath + " " + path + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    char line[4096];
    std::string all;
    while (p && fgets(line, sizeof line, p)) {
        all += line;
        char name[1024];
        int a, b;
        if (sscanf(line, "TYPE %d %d", &a, &b) == 2) {
            v.type = a;
            v.ticksPerBeat = b;
        } else if (sscanf(line, "TRACK %d %d %1023s", &a, &b, name) == 3) {
            v.noteOns.push_back(a);
            v.lengths.push_back(b);
            std::string n = name;
            for (auto& c : n)
                if (c == '_')
                    c = ' ';
            v.names.push_back(n == "-" ? "" : n);
        }
    }
    int status = p ? pclose(p) : -1;
    v.ok = status == 0 && v.type >= 0;
    if (!v.ok)
        v.error = all;
    std::remove(path);
    std::remove(scriptPath.c_str());
    return v;
}

}  // namespace krvtest
