#include "ComposerRecords.h"

namespace melodrift {

namespace {
int KnownKey(int key) { return key >= 0 && key < 12 ? key : 0; }
} // namespace

int ToAbsoluteChord(int relative, int key)
{
    if (relative < 0)
        return -1;
    return ((relative / 4 + KnownKey(key)) % 12) * 4 + relative % 4;
}

int ToRelativeChord(int absolute, int key)
{
    if (absolute < 0)
        return -1;
    key = KnownKey(key);
    const int root = (absolute / 4) % 12;
    return (root - key + (root < key ? 12 : 0)) * 4 + absolute % 4;
}

} // namespace melodrift
