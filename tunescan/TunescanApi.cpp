// The C boundary of libTunescan.so: reads the file, parses it and hands one
// track's melody to the caller's arrays.
#include "Tunescan.h"

#include "MelodyLine.h"
#include "MidiFile.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <vector>

using namespace melodrift::tunescan;

namespace {

// Larger files are no melodies; refusing them bounds the memory a file costs.
constexpr long kMaxFileSize = 16L * 1024 * 1024;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::optional<std::vector<uint8_t>> readFile(const char* path)
{
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path, "rb"));
    struct stat st {};
    if (!f || fstat(fileno(f.get()), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxFileSize)
        return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
    if (std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
        return std::nullopt;
    return bytes;
}

int32_t parseFile(const char* source, std::optional<MidiFile>& file)
{
    std::optional<std::vector<uint8_t>> bytes = readFile(source);
    if (!bytes)
        return SM_ERR_OPEN;
    file = MidiFile::parse(*bytes);
    return file ? SM_OK : SM_ERR_FORMAT;
}

int32_t retrive(const char* source, int32_t selector, int32_t* TS, int32_t* tempo, int32_t* pitches,
                int32_t* lengths, int32_t* count)
{
    if (source == nullptr || TS == nullptr || tempo == nullptr || pitches == nullptr || lengths == nullptr ||
        count == nullptr || *count < 1 || selector < -1)
        return SM_ERR_ARGUMENT;
    std::optional<MidiFile> file;
    if (int32_t rc = parseFile(source, file); rc != SM_OK)
        return rc;
    MelodyLine reader(*file);
    std::vector<MelodyNote> melody;
    if (selector >= 0) {
        if (static_cast<size_t>(selector) >= file->tracks.size())
            return SM_ERR_NO_TRACK;
        melody = reader.extract(file->tracks[static_cast<size_t>(selector)]);
    } else {
        for (const MidiTrack& track : file->tracks) {
            melody = reader.extract(track);
            if (!melody.empty())
                break;
        }
    }
    if (melody.empty())
        return SM_ERR_NO_NOTES;
    size_t n = std::min(melody.size(), static_cast<size_t>(*count));
    for (size_t i = 0; i < n; ++i) {
        pitches[i] = melody[i].pitch;
        lengths[i] = melody[i].length;
    }
    *count = static_cast<int32_t>(n);
    *TS = reader.metreCode();
    *tempo = reader.tempo();
    return SM_OK;
}

}  // namespace

MELODRIFT_API int32_t SM_RetriveMelody(const char* source, int32_t selector, int32_t* TS, int32_t* tempo,
                                       int32_t* pitches, int32_t* lengths, int32_t* count)
{
    try {
        return retrive(source, selector, TS, tempo, pitches, lengths, count);
    } catch (...) {
        return SM_ERR_FORMAT;
    }
}

MELODRIFT_API int32_t SM_GetMelodyFile(const char* source, int32_t* noteCounts, int32_t* count)
{
    try {
        if (source == nullptr || count == nullptr || (noteCounts == nullptr && *count > 0))
            return SM_ERR_ARGUMENT;
        std::optional<MidiFile> file;
        if (int32_t rc = parseFile(source, file); rc != SM_OK)
            return rc;
        for (size_t i = 0; i < file->tracks.size() && static_cast<int32_t>(i) < *count; ++i)
            noteCounts[i] = static_cast<int32_t>(file->tracks[i].notes.size());
        *count = static_cast<int32_t>(file->tracks.size());
        return SM_OK;
    } catch (...) {
        return SM_ERR_FORMAT;
    }
}
