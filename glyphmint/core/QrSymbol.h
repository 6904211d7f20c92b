#pragma once

// A QR symbol as a square of modules, made with libqrencode.

#include <cstdint>
#include <string>
#include <vector>

namespace melodrift::glyphmint {

struct QrSymbol {
    int width = 0;                 // modules per side; 0 when encoding failed
    std::vector<uint8_t> modules;  // width * width, row by row, 1 = dark
};

QrSymbol EncodeText(const std::string& text);

} // namespace melodrift::glyphmint
