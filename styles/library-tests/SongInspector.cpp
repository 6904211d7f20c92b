#include "SongInspector.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace stylelib {

namespace {

const char* kPython = "/usr/bin/python3";
const char* kFluidSynth = "/usr/bin/fluidsynth";
const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

bool exists(const char* path)
{
    struct stat st {};
    return stat(path, &st) == 0;
}

std::string run(const std::string& cmd, int& status)
{
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (p == nullptr) {
        status = -1;
        return out;
    }
    char line[4096];
    while (fgets(line, sizeof line, p) != nullptr)
        out += line;
    status = pclose(p);
    return out;
}

std::string windowsArg(const std::vector<ChordWindow>& windows)
{
    std::ostringstream s;
    for (const ChordWindow& w : windows)
        s << w.start << ':' << w.end << ':' << w.root << ':' << w.type << ',';
    return s.str();
}

}  // namespace

std::string scriptPath()
{
    const char* src = std::getenv("MELODRIFT_SOURCE_DIR");
    std::string root = src != nullptr ? src : STYLELIB_SOURCE_ROOT;
    return root + "/styles/library-tests/inspect_song.py";
}

bool writeFile(const std::string& path, const uint8_t* data, size_t size)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    return bool(out);
}

SongFacts inspectMidi(const std::string& path, const std::vector<ChordWindow>& windows, int barTicks)
{
    SongFacts f;
    int status = 0;
    std::string out = run(std::string(kPython) + " " + scriptPath() + " midi " + path + " '" +
                              windowsArg(windows) + "' " + std::to_string(barTicks) + " 2>&1",
                          status);
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream in(line);
        std::string tag;
        in >> tag;
        if (tag == "FILE") {
            in >> f.type >> f.division >> f.trackCount >> f.lengthTicks >> f.seconds;
        } else if (tag == "LASTBAR") {
            in >> f.lastBarStart >> f.lastBarClasses >> f.lastBarLowest;
        } else if (tag == "TRACK") {
            TrackFacts t;
            in >> t.channel >> t.channelCount >> t.program >> t.notes >> t.lowPitch >> t.highPitch >>
                t.lowVelocity >> t.highVelocity >> t.inWindows >> t.chordTones >> t.barStarts >> t.onRoot;
            f.tracks.push_back(t);
        }
    }
    f.ok = status == 0 && f.division > 0;
    if (!f.ok)
        f.error = out;
    return f;
}

AudioFacts inspectWav(const std::string& path, double tailFrom)
{
    AudioFacts a;
    int status = 0;
    std::string out = run(std::string(kPython) + " " + scriptPath() + " wav " + path + " " +
                              std::to_string(tailFrom) + " 2>&1",
                          status);
    std::istringstream in(out);
    std::string tag;
    in >> tag >> a.seconds >> a.peak >> a.rms >> a.clippedShare >> a.tailRms;
    a.ok = status == 0 && tag == "WAV" && a.peak >= 0;
    if (!a.ok)
        a.error = out;
    return a;
}

bool haveFluidSynth() { return exists(kFluidSynth) && exists(kSoundFont); }

std::string renderWithFluidSynth(const std::string& midiPath, const std::string& wavPath)
{
    int status = 0;
    std::string out = run(std::string(kFluidSynth) + " -ni -F " + wavPath + " -r 44100 " + kSoundFont + " " +
                              midiPath + " 2>&1",
                          status);
    if (status != 0 || !exists(wavPath.c_str()))
        return "fluidsynth failed: " + out;
    return "";
}

}  // namespace stylelib
