// Outside bytes as style detail data.
#include "DetailParser.h"

#include <cstddef>
#include <cstdint>

using namespace melodrift::tidelink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StyleInfoRecord record{};
    ResetDetailBlock(record);
    (void)ParseDetail(data, size, record);
    return 0;
}
