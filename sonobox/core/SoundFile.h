#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "AudioFormat.h"

namespace melodrift::sonobox {

// Reading and writing audio through libsndfile. Everything read comes back as
// mono at kSampleRate (channels averaged, other rates converted linearly).

std::optional<MonoBuffer> ReadMonoFile(const std::string& path);
std::optional<MonoBuffer> DecodeMonoMemory(const std::uint8_t* data, std::size_t size);

// The longest take a project holds: 30 minutes.
constexpr std::size_t kMaxTakeFrames = static_cast<std::size_t>(kSampleRate) * 60 * 30;

// A take of a project block: decoded only up to its declared length, and
// refused when it is not exactly that long (or not mono at kSampleRate).
std::optional<MonoBuffer> DecodeFlacTake(const std::uint8_t* data, std::size_t size, std::size_t frames);

// Lossless compression of a take for the project block.
std::vector<std::uint8_t> EncodeFlac(const MonoBuffer& samples);

// Whether this libsndfile can write MP3.
bool CanWriteMp3();

enum class FileKind { Wav, Mp3 };

// Writes interleaved audio in blocks. progress(done, total) is called after
// every block and returns false to stop; the file is then incomplete and the
// caller removes it. Returns true when everything was written.
bool WriteAudioFile(const std::string& path, FileKind kind, const float* interleaved, std::size_t frames,
                    int channels, const std::function<bool(std::size_t, std::size_t)>& progress);

// Band-limited rate conversion of mono audio (libsoxr, high quality): no
// images of the signal above its own band. Empty when the conversion fails.
MonoBuffer Resample(const MonoBuffer& input, int fromRate, int toRate);

} // namespace melodrift::sonobox
