#pragma once

#include "Tidelink.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace melodrift::tidelink {

struct Question {
    int32_t id = 0;
    int32_t state = 0;
    int32_t owner = 0;
    std::string question;
    std::string answer;
};

struct QuestionList {
    int32_t stamp = 0;
    std::vector<Question> items; // sorted by id
};

// The user's own questions ("local.qna") and the public questions with
// their answers ("common.qna"), shared by the caller's and service threads.
class QnABook {
public:
    void Load(const std::string& folder);
    bool Save();

    struct Listing {
        int32_t matched = 0;
        bool unanswered = false; // a handed-out own question has no answer yet
    };
    Listing Get(bool own, int32_t userId, CS_TextRecord* records, int32_t capacity) const;

    void AddLocal(Question question);
    // The stamp sent with a sync: the larger of both, 0 while the public one is 0.
    int32_t SyncStamp() const;
    std::vector<int32_t> LocalIds(size_t max) const;

    // Applies a sync payload; returns the entry count or -1 when malformed.
    int32_t Merge(const uint8_t* data, size_t size, int32_t newStamp);

    static bool Decode(const uint8_t* data, size_t size, QuestionList& out);
    static std::vector<uint8_t> Encode(const QuestionList& list);

    size_t LocalSize() const;
    size_t PublicSize() const;

private:
    mutable std::mutex m_lock;
    std::string m_folder;
    QuestionList m_local;
    QuestionList m_public;
};

} // namespace melodrift::tidelink
