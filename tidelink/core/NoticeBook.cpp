#include "NoticeBook.h"

#include "AtomicFile.h"
#include "Wire.h"

#include <algorithm>

namespace melodrift::tidelink {

namespace {

constexpr uint8_t kMagic[4] = {0x4E, 0x74, 0x63, 0x01};
constexpr size_t kTextLimit = 1 << 20;
constexpr size_t kFileLimit = 64u << 20;

struct Change {
    int32_t id;
    int16_t operation;
    Notice notice;
};

bool ReadChanges(const uint8_t* data, size_t size, int32_t owner, std::vector<Change>& out)
{
    ByteReader in(data, size);
    int32_t count = 0;
    if (!in.Int32(count) || count < 0 || size_t(count) > in.Remaining() / 6)
        return false;
    for (int32_t i = 0; i < count; ++i) {
        Change c{};
        if (!in.Int32(c.id) || !in.Int16(c.operation))
            return false;
        if (c.operation == 0) {
            c.notice.id = c.id;
            c.notice.owner = owner;
            if (!in.Int16(c.notice.kind) || !in.Text32(c.notice.title, kTextLimit) ||
                !in.Text32(c.notice.text, kTextLimit))
                return false;
        }
        out.push_back(std::move(c));
    }
    return true;
}

} // namespace

bool NoticeBook::Decode(const uint8_t* data, size_t size, std::vector<Notice>& out)
{
    ByteReader in(data, size);
    const uint8_t* magic = nullptr;
    int32_t count = 0;
    if (!in.Bytes(4, magic) || !std::equal(magic, magic + 4, kMagic) || !in.Int32(count) || count < 0 ||
        size_t(count) > in.Remaining() / 20)
        return false;
    out.clear();
    for (int32_t i = 0; i < count; ++i) {
        Notice n;
        if (!in.Int32(n.id) || !in.Int32(n.owner) || !in.Int16(n.read) || !in.Int16(n.kind) ||
            !in.Text32(n.title, kTextLimit) || !in.Text32(n.text, kTextLimit))
            return false;
        out.push_back(std::move(n));
    }
    return true;
}

std::vector<uint8_t> NoticeBook::Encode(const std::vector<Notice>& notices)
{
    std::vector<uint8_t> bytes(kMagic, kMagic + 4);
    auto int32 = [&](int32_t v) {
        uint8_t raw[4];
        PutInt32(raw, v);
        bytes.insert(bytes.end(), raw, raw + 4);
    };
    auto int16 = [&](int16_t v) {
        bytes.push_back(uint8_t(uint16_t(v)));
        bytes.push_back(uint8_t(uint16_t(v) >> 8));
    };
    auto text = [&](const std::string& s) {
        int32(int32_t(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
    };
    int32(int32_t(notices.size()));
    for (const Notice& n : notices) {
        int32(n.id);
        int32(n.owner);
        int16(n.read);
        int16(n.kind);
        text(n.title);
        text(n.text);
    }
    return bytes;
}

void NoticeBook::Load(const std::string& path)
{
    std::lock_guard guard(m_lock);
    m_path = path;
    m_notices.clear();
    std::vector<uint8_t> bytes;
    std::vector<Notice> read;
    if (ReadWholeFile(path, bytes, kFileLimit) && Decode(bytes.data(), bytes.size(), read))
        m_notices = std::move(read);
}

bool NoticeBook::Save()
{
    std::lock_guard guard(m_lock);
    if (m_path.empty())
        return false;
    return WriteFileAtomically(m_path, Encode(m_notices));
}

int32_t NoticeBook::Get(int32_t owner, CS_TextRecord* records, int32_t capacity)
{
    int32_t matched = 0;
    bool changed = false;
    {
        std::lock_guard guard(m_lock);
        for (Notice& n : m_notices) {
            if (n.owner != owner)
                continue;
            if (records != nullptr && matched < capacity) {
                CopyText(records[matched].title, sizeof records[matched].title, n.title);
                CopyText(records[matched].text, sizeof records[matched].text, n.text);
                if (owner == 0 && n.read == 0) {
                    n.read = 1;
                    changed = true;
                }
            }
            ++matched;
        }
    }
    if (changed)
        Save();
    return matched;
}

int32_t NoticeBook::UnreadCount(int32_t owner) const
{
    std::lock_guard guard(m_lock);
    return int32_t(std::count_if(m_notices.begin(), m_notices.end(),
                                 [&](const Notice& n) { return n.owner == owner && n.read == 0; }));
}

std::vector<int32_t> NoticeBook::Ids(int32_t owner, size_t max) const
{
    std::lock_guard guard(m_lock);
    std::vector<int32_t> ids;
    for (const Notice& n : m_notices)
        if (n.owner == owner && ids.size() < max)
            ids.push_back(n.id);
    return ids;
}

int32_t NoticeBook::Merge(int32_t owner, const uint8_t* data, size_t size)
{
    std::vector<Change> changes;
    if (!ReadChanges(data, size, owner, changes))
        return -1;
    bool changed = false;
    {
        std::lock_guard guard(m_lock);
        for (Change& c : changes) {
            auto same = [&](const Notice& n) { return n.id == c.id && n.owner == owner; };
            auto at = std::find_if(m_notices.begin(), m_notices.end(), same);
            if (c.operation != 0) {
                if (at != m_notices.end()) {
                    m_notices.erase(at);
                    changed = true;
                }
            } else if (at != m_notices.end()) {
                // A notice sent again replaces the old one instead of doubling it.
                *at = std::move(c.notice);
                changed = true;
            } else {
                m_notices.push_back(std::move(c.notice));
                changed = true;
            }
        }
    }
    if (changed)
        Save();
    return int32_t(changes.size());
}

size_t NoticeBook::Size() const
{
    std::lock_guard guard(m_lock);
    return m_notices.size();
}

} // namespace melodrift::tidelink
