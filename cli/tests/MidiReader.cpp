#include "MidiReader.h"

#include <cstdio>

namespace melodrift::cli::test {

MidiSummary ReadMidi(const std::string& path)
{
    MidiSummary summary;
    const std::string script =
        "import sys, mido\n"
        "m = mido.MidiFile(sys.argv[1])\n"
        "ons = sum(1 for t in m.tracks for x in t if x.type == 'note_on' and x.velocity > 0)\n"
        "print('MIDI', m.type, len(m.tracks), ons, m.length)\n";
    const std::string command = "/usr/bin/python3 -c \"" + script + "\" '" + path + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        summary.error = "cannot run python3";
        return summary;
    }
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        if (std::sscanf(line, "MIDI %d %d %d %lf", &summary.type, &summary.tracks, &summary.noteOns,
                        &summary.seconds) == 4)
            summary.ok = true;
        else
            summary.error += line;
    }
    ::pclose(pipe);
    return summary;
}

} // namespace melodrift::cli::test
