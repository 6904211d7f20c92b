#include "InfoRecord.h"

#include <cstring>

namespace melodrift::patbank {

tagStyleInfo initialInfo()
{
    tagStyleInfo info;
    std::memset(&info, 0, sizeof info);
    info.restSize = SF_INFO_REST;
    std::memset(info.categories, 0xFF, sizeof info.categories);
    info.reserved[0] = -1;
    info.reserved[1] = -1;
    std::memset(info.voices, 0xFF, sizeof info.voices);
    return info;
}

namespace {

template <size_t N>
bool terminated(const char (&text)[N])
{
    return std::memchr(text, '\0', N) != nullptr;
}

bool fail(std::string* why, const char* text)
{
    if (why != nullptr)
        *why = text;
    return false;
}

} // namespace

bool checkInfo(const tagStyleInfo& info, std::string* why)
{
    if (info.id <= 0)
        return fail(why, "style id not positive");
    if (info.metre < 0 || info.metre > 3)
        return fail(why, "metre out of range");
    if (info.restSize != SF_INFO_REST)
        return fail(why, "wrong record size field");
    if (!terminated(info.author) || !terminated(info.name) || !terminated(info.description))
        return fail(why, "text not terminated");
    return true;
}

} // namespace melodrift::patbank
