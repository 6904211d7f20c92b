#pragma once

#include "Tidelink.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace melodrift::tidelink {

struct Notice {
    int32_t id = 0;
    int32_t owner = 0; // 0 general, else the user id
    int16_t read = 0;
    int16_t kind = 0;
    std::string title;
    std::string text;
};

// The local notices ("notice.ntc"), shared by the caller's thread and the
// service thread.
class NoticeBook {
public:
    // Reads the file; a missing or foreign file leaves the list empty.
    void Load(const std::string& path);
    bool Save();

    // Fills up to capacity records with the owner's notices in list order and
    // returns how many that owner has; general notices handed out become read.
    int32_t Get(int32_t owner, CS_TextRecord* records, int32_t capacity);
    int32_t UnreadCount(int32_t owner) const;
    // Ids of the first max notices of the owner.
    std::vector<int32_t> Ids(int32_t owner, size_t max) const;

    // Applies a sync payload for one owner; returns the entry count or -1 when
    // the payload is malformed (then nothing is applied).
    int32_t Merge(int32_t owner, const uint8_t* data, size_t size);

    // Outside bytes of a notice file or sync payload to a list (tests, fuzz).
    static bool Decode(const uint8_t* data, size_t size, std::vector<Notice>& out);
    static std::vector<uint8_t> Encode(const std::vector<Notice>& notices);

    size_t Size() const;

private:
    mutable std::mutex m_lock;
    std::string m_path;
    std::vector<Notice> m_notices;
};

} // namespace melodrift::tidelink
