// Reading the values of a style source line: pitches, durations, positions.
// Each returns nothing and fills *error when the text is not valid.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace stylec {

// Splits a line into words; "quoted text" is one word (without the quotes,
// \" and \\ escaped). A # outside quotes starts a comment.
std::optional<std::vector<std::string>> splitWords(const std::string& line, std::string* error);

std::optional<long> parseInteger(const std::string& text, long low, long high, std::string* error);

// C4 = 60, with # or b, octaves -1..9; a number 0..127; or a drum name
// (kick, snare, rim, clap, hat, pedalhat, openhat, lowtom, midtom, hightom,
// crash, ride, tambourine, cowbell, shaker).
std::optional<uint8_t> parsePitch(const std::string& text, std::string* error);

// N/M of a whole note (768 ticks), Nb beats of 192 ticks, or Nt ticks.
std::optional<uint32_t> parseDuration(const std::string& text, std::string* error);

// A position in a segment: BARS:BEAT[:TICK], BARS one bar (1-based), a
// range A-B or * for every bar of the segment. Gives one tick per bar.
std::optional<std::vector<uint32_t>> parsePosition(const std::string& text, int metre, int segmentBars,
                                                   std::string* error);

} // namespace stylec
