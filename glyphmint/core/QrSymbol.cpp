#include "QrSymbol.h"

#include <memory>

#include <qrencode.h>

namespace melodrift::glyphmint {

QrSymbol EncodeText(const std::string& text)
{
    QrSymbol symbol;
    if (text.empty())
        return symbol;
    // Version 0 lets the library pick the smallest symbol that holds the text.
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(text.c_str(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code || code->width <= 0)
        return symbol;
    symbol.width = code->width;
    const size_t count = static_cast<size_t>(code->width) * static_cast<size_t>(code->width);
    symbol.modules.resize(count);
    for (size_t i = 0; i < count; ++i)
        symbol.modules[i] = code->data[i] & 1;
    return symbol;
}

} // namespace melodrift::glyphmint
