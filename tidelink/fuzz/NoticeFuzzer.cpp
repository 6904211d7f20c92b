// Outside bytes as a notice file and as a notice sync payload.
#include "NoticeBook.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace melodrift::tidelink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<Notice> notices;
    if (NoticeBook::Decode(data, size, notices)) {
        auto again = NoticeBook::Encode(notices);
        std::vector<Notice> back;
        if (!NoticeBook::Decode(again.data(), again.size(), back) || back.size() != notices.size())
            __builtin_trap();
    }
    NoticeBook book; // no file: merges stay in memory
    (void)book.Merge(0, data, size);
    CS_TextRecord record;
    (void)book.Get(0, &record, 1);
    return 0;
}
