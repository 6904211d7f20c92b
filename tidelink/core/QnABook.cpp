#include "QnABook.h"

#include "AtomicFile.h"
#include "Wire.h"

#include <algorithm>

namespace melodrift::tidelink {

namespace {

constexpr uint8_t kMagic[4] = {0x51, 0x6E, 0x41, 0x01};
constexpr size_t kTextLimit = 1 << 20;
constexpr size_t kFileLimit = 64u << 20;
constexpr int32_t kStateDeleted = 5;
constexpr int32_t kStatePublic = 6;

auto FindId(std::vector<Question>& list, int32_t id)
{
    return std::lower_bound(list.begin(), list.end(), id, [](const Question& q, int32_t v) { return q.id < v; });
}

// Inserts or replaces by id; true when the id was new.
bool Upsert(std::vector<Question>& list, Question q)
{
    auto at = FindId(list, q.id);
    if (at != list.end() && at->id == q.id) {
        *at = std::move(q);
        return false;
    }
    list.insert(at, std::move(q));
    return true;
}

bool Erase(std::vector<Question>& list, int32_t id)
{
    auto at = FindId(list, id);
    if (at == list.end() || at->id != id)
        return false;
    list.erase(at);
    return true;
}

bool ReadEntries(const uint8_t* data, size_t size, std::vector<Question>& out)
{
    ByteReader in(data, size);
    int32_t count = 0;
    if (!in.Int32(count) || count < 0 || size_t(count) > in.Remaining() / 12)
        return false;
    for (int32_t i = 0; i < count; ++i) {
        Question q;
        if (!in.Int32(q.id) || !in.Int32(q.owner) || !in.Int32(q.state))
            return false;
        if (q.state != kStateDeleted && (!in.Text32(q.question, kTextLimit) || !in.Text32(q.answer, kTextLimit)))
            return false;
        out.push_back(std::move(q));
    }
    return true;
}

} // namespace

bool QnABook::Decode(const uint8_t* data, size_t size, QuestionList& out)
{
    ByteReader in(data, size);
    const uint8_t* magic = nullptr;
    int32_t count = 0;
    QuestionList list;
    if (!in.Bytes(4, magic) || !std::equal(magic, magic + 4, kMagic) || !in.Int32(list.stamp) || !in.Int32(count) ||
        count < 0 || size_t(count) > in.Remaining() / 20)
        return false;
    for (int32_t i = 0; i < count; ++i) {
        Question q;
        if (!in.Int32(q.id) || !in.Int32(q.state) || !in.Int32(q.owner) || !in.Text32(q.question, kTextLimit) ||
            !in.Text32(q.answer, kTextLimit))
            return false;
        Upsert(list.items, std::move(q)); // keeps the list sorted whatever the file's order
    }
    out = std::move(list);
    return true;
}

std::vector<uint8_t> QnABook::Encode(const QuestionList& list)
{
    std::vector<uint8_t> bytes(kMagic, kMagic + 4);
    auto int32 = [&](int32_t v) {
        uint8_t raw[4];
        PutInt32(raw, v);
        bytes.insert(bytes.end(), raw, raw + 4);
    };
    auto text = [&](const std::string& s) {
        int32(int32_t(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
    };
    int32(list.stamp);
    int32(int32_t(list.items.size()));
    for (const Question& q : list.items) {
        int32(q.id);
        int32(q.state);
        int32(q.owner);
        text(q.question);
        text(q.answer);
    }
    return bytes;
}

void QnABook::Load(const std::string& folder)
{
    std::lock_guard guard(m_lock);
    m_folder = folder;
    auto load = [&](const char* name, QuestionList& list) {
        list = QuestionList{};
        std::vector<uint8_t> bytes;
        QuestionList read;
        if (ReadWholeFile(folder + "/" + name, bytes, kFileLimit) && Decode(bytes.data(), bytes.size(), read))
            list = std::move(read);
    };
    load("local.qna", m_local);
    load("common.qna", m_public);
}

bool QnABook::Save()
{
    std::lock_guard guard(m_lock);
    if (m_folder.empty())
        return false;
    // The public list first, and the own one only after it: the sync stamp
    // is the larger of both, so an own list saved with a newer stamp than
    // the public one would skip the public answers in between for good.
    // Own questions are asked for by id, so an older own list loses nothing.
    return WriteFileAtomically(m_folder + "/common.qna", Encode(m_public)) &&
           WriteFileAtomically(m_folder + "/local.qna", Encode(m_local));
}

QnABook::Listing QnABook::Get(bool own, int32_t userId, CS_TextRecord* records, int32_t capacity) const
{
    std::lock_guard guard(m_lock);
    Listing listing;
    const QuestionList& list = own ? m_local : m_public;
    for (const Question& q : list.items) {
        if (own && q.owner != userId && q.owner != 0)
            continue;
        if (records != nullptr && listing.matched < capacity) {
            CopyText(records[listing.matched].title, sizeof records[listing.matched].title, q.question);
            CopyText(records[listing.matched].text, sizeof records[listing.matched].text, q.answer);
            if (q.answer.empty())
                listing.unanswered = true;
        }
        ++listing.matched;
    }
    return listing;
}

void QnABook::AddLocal(Question question)
{
    {
        std::lock_guard guard(m_lock);
        Upsert(m_local.items, std::move(question));
    }
    Save();
}

int32_t QnABook::SyncStamp() const
{
    std::lock_guard guard(m_lock);
    return m_public.stamp == 0 ? 0 : std::max(m_local.stamp, m_public.stamp);
}

std::vector<int32_t> QnABook::LocalIds(size_t max) const
{
    std::lock_guard guard(m_lock);
    std::vector<int32_t> ids;
    for (const Question& q : m_local.items)
        if (ids.size() < max)
            ids.push_back(q.id);
    return ids;
}

int32_t QnABook::Merge(const uint8_t* data, size_t size, int32_t newStamp)
{
    std::vector<Question> entries;
    if (!ReadEntries(data, size, entries))
        return -1;
    {
        std::lock_guard guard(m_lock);
        bool localChanged = false, publicChanged = false;
        for (Question& q : entries) {
            if (q.state == kStateDeleted) {
                localChanged |= Erase(m_local.items, q.id);
                publicChanged |= Erase(m_public.items, q.id);
            } else if (q.state == kStatePublic) {
                Question copy = q;
                bool isNew = Upsert(m_public.items, std::move(copy));
                publicChanged = true;
                auto mine = FindId(m_local.items, q.id);
                if (isNew && mine != m_local.items.end() && mine->id == q.id) {
                    mine->state = q.state;
                    mine->answer = q.answer;
                    localChanged = true;
                }
            } else {
                Upsert(m_local.items, std::move(q));
                localChanged = true;
            }
        }
        if (localChanged)
            m_local.stamp = newStamp;
        if (publicChanged)
            m_public.stamp = newStamp;
    }
    Save();
    return int32_t(entries.size());
}

size_t QnABook::LocalSize() const
{
    std::lock_guard guard(m_lock);
    return m_local.items.size();
}

size_t QnABook::PublicSize() const
{
    std::lock_guard guard(m_lock);
    return m_public.items.size();
}

} // namespace melodrift::tidelink
