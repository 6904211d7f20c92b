#pragma once
// Shared pieces of the tests: a style store in memory, a small style, the
// log reader and an independent MIDI reader.

#include "KrvBuilder.h"
#include "TestStyle.h"
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
