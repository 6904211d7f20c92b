// Feeds arbitrary bytes to the project file reader (as a file's program part,
// header included) and to the remembered-login decoder.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "LoginRecord.h"
#include "ProjectFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace melodrift;
    if (size >= kProjectHeaderSize) {
        uint32_t word = 0;
        std::memcpy(&word, data, sizeof word);
        const ProjectVersion version = DecodeProjectVersion(word);
        ProjectContent content;
        size_t consumed = 0;
        if (ParseProgramFields(data + kProjectHeaderSize, size - kProjectHeaderSize, version, content, consumed) &&
            consumed > size - kProjectHeaderSize)
            __builtin_trap();
    }
    DecodeLogin(std::vector<uint8_t>(data, data + (size < 300 ? size : 300)));
    return 0;
}
