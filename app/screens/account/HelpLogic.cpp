#include "HelpLogic.h"

#include <algorithm>
#include <cstring>

#include "EngineTables.h"

namespace melodrift {

namespace {

QString RecordText(const char* text, size_t capacity)
{
    return QString::fromUtf8(text, static_cast<qsizetype>(strnlen(text, capacity)));
}

bool IsQuestionTab(int tab) { return tab == kTabQnA || tab == kTabFeedback; }

} // namespace

int HelpTopMargin(int tab)
{
    switch (tab) {
    case kTabFeedback: return 160;
    case kTabUserNotices: return 60;
    default: return 15;
    }
}

QString HelpPrefix(int tab, int kind)
{
    const bool questions = IsQuestionTab(tab);
    switch (kind) {
    case kLineTitle: return questions ? QStringLiteral("Q:") : QStringLiteral("△");
    case kLineBody: return questions ? QStringLiteral("A:") : QStringLiteral("  ");
    default: return {};
    }
}

std::vector<QString> WrapHelpText(const QString& text, int wrapWidth, const CharWidth& width)
{
    std::vector<QString> lines;
    qsizetype start = 0;
    int running = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\n')) {
            lines.push_back(text.mid(start, i - start));
            start = i + 1;
            running = 0;
            continue;
        }
        const int w = width(c);
        running += w;
        // A character wider than the whole line still needs a line of its own.
        if (running >= wrapWidth && i > start) {
            lines.push_back(text.mid(start, i - start));
            start = i;
            running = w;
        }
    }
    lines.push_back(text.mid(start));
    return lines;
}

std::vector<CS_TextRecord> FetchHelpEntries(int tab, int32_t userId)
{
    const auto& cs = Engines().cs;
    auto fetch = [&](int32_t* count, CS_TextRecord* records) {
        switch (tab) {
        case kTabQnA: return cs.CS_GetQnA ? cs.CS_GetQnA(count, records, 0, 0) : -1;
        case kTabFeedback: return cs.CS_GetQnA ? cs.CS_GetQnA(count, records, 1, userId) : -1;
        case kTabPublicNotices: return cs.CS_GetNotice ? cs.CS_GetNotice(count, records, 0) : -1;
        case kTabUserNotices:
            return cs.CS_GetNotice && userId != 0 ? cs.CS_GetNotice(count, records, userId) : -1;
        default: return -1;
        }
    };
    int32_t count = 0;
    if (fetch(&count, nullptr) != 0 || count < 1)
        return {};
    std::vector<CS_TextRecord> entries(static_cast<size_t>(count));
    int32_t filled = count;
    if (fetch(&filled, entries.data()) != 0)
        return {};
    // The list may have grown between the two calls; only filled records count.
    entries.resize(static_cast<size_t>(std::clamp(filled, 0, count)));
    for (CS_TextRecord& r : entries) {
        r.title[sizeof r.title - 1] = '\0';
        r.text[sizeof r.text - 1] = '\0';
    }
    if (tab != kTabQnA)
        std::reverse(entries.begin(), entries.end());
    return entries;
}

std::vector<HelpLine> BuildHelpLines(const std::vector<CS_TextRecord>& entries, int tab, int wrapWidth,
                                     const CharWidth& width)
{
    std::vector<HelpLine> lines;
    auto addText = [&](const QString& text, int firstKind) {
        const std::vector<QString> wrapped = WrapHelpText(text, wrapWidth, width);
        for (size_t i = 0; i < wrapped.size(); ++i)
            lines.push_back({i == 0 ? firstKind : kLineContinuation, wrapped[i]});
    };
    for (size_t e = 0; e < entries.size(); ++e) {
        if (e > 0)
            lines.push_back({kLineContinuation, {}});
        addText(RecordText(entries[e].title, sizeof entries[e].title), kLineTitle);
        const QString body = RecordText(entries[e].text, sizeof entries[e].text);
        if (!body.isEmpty())
            addText(body, kLineBody);
        else if (IsQuestionTab(tab))
            lines.push_back({kLineBody, QStringLiteral("暂时还没有答复")});
    }
    return lines;
}

void THelpScroll::SetLines(int lineCount, int visible)
{
    m_count = std::max(0, lineCount);
    m_visible = std::max(1, visible);
    ScrollTo(m_first);
}

void THelpScroll::ScrollTo(int first) { m_first = std::clamp(first, 0, LastPosition()); }

void THelpScroll::Store(int tab, const std::vector<HelpLine>& lines)
{
    Position& p = m_positions[static_cast<size_t>(tab)];
    p.first = m_first;
    p.blanks = 0;
    for (int i = 0; i <= m_first && i < static_cast<int>(lines.size()); ++i)
        if (lines[static_cast<size_t>(i)].kind == kLineContinuation && lines[static_cast<size_t>(i)].text.isEmpty())
            ++p.blanks;
}

void THelpScroll::Restore(int tab, const std::vector<HelpLine>& lines, int visible)
{
    const Position& p = m_positions[static_cast<size_t>(tab)];
    int first = p.first;
    if (first < 0) {
        first = 0;
        for (int passed = 0; passed < p.blanks && first < static_cast<int>(lines.size()); ++first)
            if (lines[static_cast<size_t>(first)].kind == kLineContinuation && lines[static_cast<size_t>(first)].text.isEmpty())
                ++passed;
    }
    m_first = first;
    SetLines(static_cast<int>(lines.size()), visible);
}

void THelpScroll::ForgetLines()
{
    for (Position& p : m_positions)
        p.first = -1;
}

} // namespace melodrift
