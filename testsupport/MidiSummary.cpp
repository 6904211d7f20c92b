#include "MidiSummary.h"

#include "TempFolder.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace melodrift::testsupport {

namespace {

// One line per fact; a track's name comes last so it may hold spaces.
constexpr const char* kScript = R"(import sys, mido
m = mido.MidiFile(sys.argv[1])
print('MIDI', m.type, m.ticks_per_beat, m.length)
for t in m.tracks:
    name = ''
    for x in t:
        if x.type == 'track_name': name = x.name
    ons = sum(1 for x in t if x.type == 'note_on' and x.velocity > 0)
    print('TRACK', ons, sum(x.time for x in t), name)
    now = 0
    for x in t:
        now += x.time
        if x.type == 'note_on' and x.velocity > 0: print('NOTE', now, x.channel, x.note)
        if x.type == 'program_change': print('PROGRAM', x.program)
)";

std::string Quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

int MidiSummary::NoteOns() const
{
    int n = 0;
    for (const MidiTrackSummary& t : tracks)
        n += t.noteOns;
    return n;
}

MidiSummary SummariseMidi(const std::string& path)
{
    MidiSummary summary;
    // Debian's own interpreter, where python3-mido installs the reader.
    const std::string command = "/usr/bin/python3 -c " + Quoted(kScript) + " " + Quoted(path) + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        summary.error = "cannot run python3";
        return summary;
    }
    std::string all;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        std::string line = buffer;
        all += line;
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        std::istringstream in(line);
        std::string tag;
        in >> tag;
        if (tag == "MIDI") {
            in >> summary.type >> summary.ticksPerBeat >> summary.seconds;
        } else if (tag == "TRACK") {
            MidiTrackSummary track;
            in >> track.noteOns >> track.lengthTicks;
            std::getline(in >> std::ws, track.name);
            summary.tracks.push_back(track);
        } else if (tag == "NOTE" && !summary.tracks.empty()) {
            MidiNoteOn note;
            in >> note.tick >> note.channel >> note.note;
            summary.tracks.back().notes.push_back(note);
        } else if (tag == "PROGRAM" && !summary.tracks.empty()) {
            int program = 0;
            in >> program;
            summary.tracks.back().programs.push_back(program);
        }
    }
    const int status = ::pclose(pipe);
    summary.ok = status == 0 && summary.type >= 0;
    if (!summary.ok)
        summary.error = all;
    return summary;
}

MidiSummary SummariseMidi(const std::vector<uint8_t>& bytes)
{
    TempFolder folder("melodrift-midi");
    const std::string path = folder.File("file.mid");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return SummariseMidi(path);
}

} // namespace melodrift::testsupport
