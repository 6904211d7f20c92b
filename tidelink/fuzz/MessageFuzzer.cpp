// Outside bytes as a received message: header checks, then the body read as
// the replies the client parses (ints at any index).
#include "Wire.h"

#include <cstddef>
#include <cstdint>

using namespace melodrift::tidelink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Message m;
    if (DecodeMessage(data, size, m) == DecodeStatus::Ok) {
        volatile int32_t sink = 0;
        for (size_t i = 0; i < 8; ++i)
            sink = sink + m.Int(i * 300);
        if (size >= kHeaderSize)
            (void)AnnouncedMessageSize(data);
    }
    return 0;
}
