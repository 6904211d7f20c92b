#pragma once

// The message box answers from a list while a test runs and keeps every
// text it was asked to show; the real box comes back afterwards.

#include <QStringList>
#include <deque>

#include "TMessageForm.h"

namespace melodrift::test {

struct MessageScript {
    QStringList shown;
    std::deque<int> replies;   // empty: OK

    MessageScript()
    {
        TMessageForm::SetScript([this](const QString& text, int) {
            shown << text;
            if (replies.empty())
                return static_cast<int>(kResultOk);
            const int reply = replies.front();
            replies.pop_front();
            return reply;
        });
    }
    ~MessageScript() { TMessageForm::SetScript({}); }
    MessageScript(const MessageScript&) = delete;
    MessageScript& operator=(const MessageScript&) = delete;
};

} // namespace melodrift::test
