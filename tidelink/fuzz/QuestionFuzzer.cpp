// Outside bytes as a question file and as a question sync payload.
#include "QnABook.h"

#include <cstddef>
#include <cstdint>

using namespace melodrift::tidelink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QuestionList list;
    if (QnABook::Decode(data, size, list)) {
        auto again = QnABook::Encode(list);
        QuestionList back;
        if (!QnABook::Decode(again.data(), again.size(), back) || back.items.size() != list.items.size())
            __builtin_trap();
    }
    QnABook book; // no folder: merges stay in memory
    (void)book.Merge(data, size, 1);
    CS_TextRecord records[2];
    (void)book.Get(true, 0, records, 2);
    (void)book.Get(false, 0, records, 2);
    return 0;
}
