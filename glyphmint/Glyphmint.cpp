#include "Glyphmint.h"

#include <cstring>

#include "QrSymbol.h"

int32_t QR_Encode(const char* text, uint8_t* modules, int32_t capacity)
{
    if (!text || !modules || capacity <= 0)
        return 0;
    try {
        const melodrift::glyphmint::QrSymbol symbol = melodrift::glyphmint::EncodeText(text);
        if (symbol.width == 0 || symbol.modules.size() > static_cast<size_t>(capacity))
            return 0;
        std::memcpy(modules, symbol.modules.data(), symbol.modules.size());
        return symbol.width;
    } catch (...) {
        return 0;
    }
}
