#pragma once

// Reads exported audio back without the engine's own code: the RIFF chunks
// of a WAV file and the frame headers of an MP3 stream.

#include <string>

namespace melodrift::cli::test {

struct AudioInfo {
    bool ok = false;
    int rate = 0;
    int channels = 0;
    double seconds = 0;
    long frames = 0;        // sample frames (WAV) or MPEG frames (MP3)
};

AudioInfo ReadWavInfo(const std::string& path);
AudioInfo ReadMp3Info(const std::string& path);

} // namespace melodrift::cli::test
