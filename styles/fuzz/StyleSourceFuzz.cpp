// The style source parser and, for sources it accepts, the encoder.
#include <cstddef>
#include <cstdint>
#include <string>

#include "StyleBuilder.h"
#include "StyleSourceParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    auto parsed = stylec::parseStyleSource(text);
    if (parsed.style) {
        try {
            stylec::compileStyle(*parsed.style);
        } catch (const krv::EncodeError&) {
            // Refusing is fine; crashing is not.
        }
    }
    return 0;
}
