#pragma once

// What the help page's text view decides without pixels: the entries of a
// tab read from the service's local lists, their wrapped lines with kinds
// and prefixes, and the scroll position each tab keeps.

#include <QString>
#include <array>
#include <functional>
#include <vector>

#include "Tidelink.h"

namespace melodrift {

enum HelpTab : int { kTabQnA = 0, kTabFeedback = 1, kTabPublicNotices = 2, kTabUserNotices = 3, kHelpTabCount = 4 };

constexpr int kHelpLineHeight = 22;
constexpr int kHelpLeftMargin = 15;
constexpr int kHelpRightMargin = 48;
constexpr int kHelpBottomMargin = 45;
constexpr int kHelpTextIndent = 20;   // the text starts this far right of its prefix

int HelpTopMargin(int tab);

enum HelpLineKind : int { kLineContinuation = 0, kLineTitle = 1, kLineBody = 2 };

struct HelpLine {
    int kind = kLineContinuation;
    QString text;
    bool operator==(const HelpLine&) const = default;
};

// "Q:"/"A:" on the question tabs, "△"/two spaces on the notice tabs.
QString HelpPrefix(int tab, int kind);

using CharWidth = std::function<int(QChar)>;

// Breaks text at line feeds and where the running width of its characters
// reaches wrapWidth; the breaking character begins the next line.
std::vector<QString> WrapHelpText(const QString& text, int wrapWidth, const CharWidth& width);

// The entries of a tab in display order: the public questions as listed,
// the others newest first. Empty without a service.
std::vector<CS_TextRecord> FetchHelpEntries(int tab, int32_t userId);

// Lines of the entries: title lines, body lines ("暂时还没有答复" for a
// question without answer), one blank line between two entries.
std::vector<HelpLine> BuildHelpLines(const std::vector<CS_TextRecord>& entries, int tab, int wrapWidth,
                                     const CharWidth& width);

// The view's scrolling over the current tab's lines, and the position each
// tab keeps while the page lives.
class THelpScroll {
public:
    void SetLines(int lineCount, int visible);
    int First() const { return m_first; }
    int Visible() const { return m_visible; }
    int LastPosition() const { return std::max(0, m_count - m_visible); }
    bool Scrollable() const { return m_count > m_visible; }

    void LineUp() { ScrollTo(m_first - 1); }
    void LineDown() { ScrollTo(m_first + 1); }
    void PageUp() { ScrollTo(m_first - m_visible); }
    void PageDown() { ScrollTo(m_first + m_visible); }
    void Top() { ScrollTo(0); }
    void Bottom() { ScrollTo(LastPosition()); }
    void ScrollTo(int first);

    // Keeps the tab's first line and the blank lines down to it (inclusive).
    void Store(int tab, const std::vector<HelpLine>& lines);
    // After a rebuild: the tab's stored first line, or after a resize the
    // line after as many blank lines as were counted; clamped.
    void Restore(int tab, const std::vector<HelpLine>& lines, int visible);
    // A resize: every tab finds its place again by its blank lines.
    void ForgetLines();

private:
    struct Position {
        int first = 0;
        int blanks = 0;
    };
    std::array<Position, kHelpTabCount> m_positions{};
    int m_first = 0, m_count = 0, m_visible = 1;
};

} // namespace melodrift
