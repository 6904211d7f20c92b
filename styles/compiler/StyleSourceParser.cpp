#include "StyleSourceParser.h"

#include <algorithm>
#include <set>
#include <sstream>

#include "SourceValues.h"

namespace stylec {

namespace {

using Words = std::vector<std::string>;

// Controllers the composer drops on reading; writing them would be silent loss.
bool droppedController(long c)
{
    return c == 3 || c == 9 || (c >= 12 && c <= 15) || (c >= 20 && c <= 31) || c == 35 || c == 41
        || (c >= 46 && c <= 63) || (c >= 85 && c <= 90) || (c >= 102 && c <= 119);
}

// Well-formed UTF-8 (no overlong forms, surrogates or values above U+10FFFF).
bool validUtf8(const std::string& text)
{
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > text.size())
            return false;
        uint32_t cp = n == 1 ? c : c & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (d & 0x3F);
        }
        const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

class Parser {
public:
    ParseResult run(const std::string& text);

private:
    void line(const Words& w);
    void header(const Words& w);
    void segment(const Words& w);
    void group(const Words& w);
    void track(const Words& w);
    void event(const Words& w);
    void note(const Words& w, const std::vector<uint32_t>& at);
    void control(const Words& w, const std::vector<uint32_t>& at);
    void closeTrack();
    void finish();
    void checkSegment(const SourceSegment& seg);
    bool error(const std::string& message, int at = -1);
    std::optional<long> integer(const std::string& text, long low, long high);
    bool count(const Words& w, size_t low, size_t high);

    ParseResult m_result;
    StyleSource m_style;
    int m_line = 0;
    bool m_seenStyle = false;
    SourceSegment* m_segment = nullptr;
    std::vector<SourceTrack>* m_group = nullptr; // null while in the drums part
    bool m_inDrums = false;
    SourceTrack* m_track = nullptr;
};

bool Parser::error(const std::string& message, int at)
{
    if (m_result.errors.size() < kMaxErrors)
        m_result.errors.push_back({at < 0 ? m_line : at, message});
    return false;
}

std::optional<long> Parser::integer(const std::string& text, long low, long high)
{
    std::string why;
    auto v = parseInteger(text, low, high, &why);
    if (!v)
        error(why);
    return v;
}

bool Parser::count(const Words& w, size_t low, size_t high)
{
    if (w.size() >= low && w.size() <= high)
        return true;
    return error("'" + w[0] + "' takes " + (low == high ? std::to_string(low - 1) : std::to_string(low - 1) + ".."
                 + std::to_string(high - 1)) + " values");
}

ParseResult Parser::run(const std::string& text)
{
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw) && m_result.errors.size() < kMaxErrors) {
        ++m_line;
        std::string why;
        auto words = splitWords(raw, &why);
        if (!words)
            error(why);
        else if (!words->empty())
            line(*words);
    }
    closeTrack();
    finish();
    if (m_result.errors.empty())
        m_result.style = std::move(m_style);
    return std::move(m_result);
}

void Parser::line(const Words& w)
{
    static const std::set<std::string> segments = {"main", "fill", "intro", "outro"};
    const std::string& key = w[0];
    if (!m_seenStyle && key != "style") {
        error("the source must start with 'style <id>'");
        m_seenStyle = true; // one report is enough
    } else if (key.find(':') != std::string::npos) {
        event(w);
    } else if (segments.count(key) != 0) {
        segment(w);
    } else if (key == "group" || key == "drums") {
        group(w);
    } else if (key == "track") {
        track(w);
    } else if (m_segment != nullptr) {
        error("'" + key + "' is not allowed inside a segment");
    } else {
        header(w);
    }
}

void Parser::header(const Words& w)
{
    const std::string& key = w[0];
    auto text = [&](std::string& field, size_t max) {
        if (count(w, 2, 2) && w[1].size() > max)
            error(key + " is longer than " + std::to_string(max) + " bytes");
        else if (w.size() == 2 && !validUtf8(w[1]))
            error(key + " is not valid UTF-8");
        else if (w.size() == 2)
            field = w[1];
    };
    if (key == "style") {
        if (m_seenStyle && m_style.id != 0)
            error("'style' given twice");
        m_seenStyle = true;
        if (count(w, 2, 2))
            if (auto v = integer(w[1], 1, 0x7fffffff))
                m_style.id = static_cast<int>(*v);
    } else if (key == "name") {
        text(m_style.name, 39);
    } else if (key == "author") {
        text(m_style.author, 39);
    } else if (key == "description") {
        text(m_style.description, 119);
    } else if (key == "metre") {
        static const char* names[] = {"4/4", "3/4", "2/4", "6/8"};
        const auto* hit = count(w, 2, 2) ? std::find(std::begin(names), std::end(names), w[1]) : std::end(names);
        if (hit == std::end(names))
            error("metre must be 4/4, 3/4, 2/4 or 6/8");
        else
            m_style.metre = static_cast<int>(hit - std::begin(names));
    } else if (key == "tempo") {
        if (count(w, 2, 2))
            if (auto v = integer(w[1], 30, 300))
                m_style.tempo = static_cast<int>(*v);
    } else if (key == "categories") {
        if (count(w, 2, 5))
            for (size_t i = 1; i < w.size(); ++i)
                if (auto v = integer(w[i], 0, 127))
                    m_style.categories.push_back(static_cast<int>(*v));
    } else if (key == "featured") {
        m_style.featured = count(w, 1, 1);
    } else if (key == "revision") {
        if (count(w, 2, 2))
            if (auto v = integer(w[1], 1, 0x7fffffff))
                m_style.revision = static_cast<int>(*v);
    } else if (key == "clocks") {
        if (count(w, 2, 2))
            if (auto v = integer(w[1], 1, 255))
                m_style.clocksPerClick = static_cast<int>(*v);
    } else {
        error("unknown statement '" + key + "'");
    }
}

void Parser::segment(const Words& w)
{
    closeTrack();
    m_group = nullptr;
    m_inDrums = false;
    m_segment = nullptr;
    if (m_style.metre < 0)
        return void(error("'metre' must come before the first segment"));
    if (w.size() != 4 || w[2] != "bars")
        return void(error("a segment is '" + w[0] + " <id> bars <count>'"));
    SourceSegment seg;
    seg.line = m_line;
    seg.kind = w[0] == "main" ? SegmentKind::Main : w[0] == "fill" ? SegmentKind::Fill
        : w[0] == "intro" ? SegmentKind::Intro : SegmentKind::Outro;
    const bool framing = seg.kind == SegmentKind::Intro || seg.kind == SegmentKind::Outro;
    auto id = integer(w[1], 0, framing ? 7 : 254);
    auto bars = integer(w[3], 1, 65535 / barTicks(m_style.metre));
    if (!id || !bars)
        return;
    seg.id = static_cast<int>(*id);
    seg.bars = static_cast<int>(*bars);
    for (const auto& other : m_style.segments)
        if (other.kind == seg.kind && other.id == seg.id)
            return void(error(w[0] + " " + w[1] + " is defined twice (first on line " + std::to_string(other.line)
                              + ")"));
    m_style.segments.push_back(std::move(seg));
    m_segment = &m_style.segments.back();
}

void Parser::group(const Words& w)
{
    closeTrack();
    m_group = nullptr;
    m_inDrums = false;
    if (m_segment == nullptr)
        return void(error("'" + w[0] + "' outside a segment"));
    const bool framing = m_segment->kind == SegmentKind::Intro || m_segment->kind == SegmentKind::Outro;
    if (w[0] == "drums") {
        if (framing)
            return void(error("intro and outro segments have no drums part; put drums in their groups"));
        if (count(w, 1, 1))
            m_inDrums = true;
        return;
    }
    static const char* full[] = {"major", "minor", "dom7", "min7"};
    const size_t choices = framing ? 2 : 4;
    const auto* hit = count(w, 2, 2) ? std::find(full, full + choices, w[1]) : full + choices;
    if (hit == full + choices)
        return void(error(framing ? "an intro or outro group is major or minor"
                                  : "a group is major, minor, dom7 or min7"));
    m_group = &m_segment->groups[static_cast<size_t>(hit - full)];
    if (!m_group->empty())
        error("group " + w[1] + " is given twice in this segment");
}

void Parser::track(const Words& w)
{
    closeTrack();
    if (m_group == nullptr && !m_inDrums)
        return void(error("'track' outside a group or drums part"));
    if (m_inDrums && m_segment->drums)
        return void(error("the drums part holds one track"));
    SourceTrack t;
    t.line = m_line;
    if (w.size() != 3 && w.size() != 5)
        return void(error("a track is 'track channel <1..16> [program <0..127>]'"));
    if (w[1] != "channel" || (w.size() == 5 && w[3] != "program"))
        return void(error("a track is 'track channel <1..16> [program <0..127>]'"));
    auto channel = integer(w[2], 1, 16);
    auto program = w.size() == 5 ? integer(w[4], 0, 127) : std::optional<long>(-1);
    if (!channel || !program)
        return;
    t.channel = static_cast<uint8_t>(*channel - 1);
    t.program = static_cast<int>(*program);
    if (m_inDrums) {
        m_segment->drums = std::move(t);
        m_track = &*m_segment->drums;
    } else {
        m_group->push_back(std::move(t));
        m_track = &m_group->back();
    }
}

void Parser::event(const Words& w)
{
    if (m_track == nullptr)
        return void(error("an event outside a track"));
    std::string why;
    auto at = parsePosition(w[0], m_style.metre, m_segment->bars, &why);
    if (!at)
        return void(error(why));
    if (w.size() < 2)
        return void(error("an event needs a kind after its position"));
    if (w[1] == "note")
        note(w, *at);
    else
        control(w, *at);
}

void Parser::note(const Words& w, const std::vector<uint32_t>& at)
{
    if (w.size() < 5)
        return void(error("a note is '<position> note <pitch>... <velocity> <duration>'"));
    std::string why;
    auto velocity = integer(w[w.size() - 2], 1, 127);
    auto length = parseDuration(w.back(), &why);
    if (!length)
        error(why);
    if (!velocity || !length)
        return;
    const uint32_t end = m_segment->bars * barTicks(m_style.metre);
    const bool guitar = m_track->program >= 24 && m_track->program <= 31;
    for (size_t i = 2; i + 2 < w.size(); ++i) {
        auto pitch = parsePitch(w[i], &why);
        if (!pitch)
            return void(error(why));
        if (guitar && (*pitch <= 39 || *pitch >= 91))
            return void(error("guitar pitch " + std::to_string(*pitch) + " is outside 40..90 and would be dropped"));
        for (uint32_t start : at) {
            if (start + *length > end)
                return void(error("the note ends after the segment's " + std::to_string(m_segment->bars) + " bars"));
            m_track->notes.push_back({m_line, *pitch, static_cast<uint8_t>(*velocity), start, start + *length});
        }
    }
}

void Parser::control(const Words& w, const std::vector<uint32_t>& at)
{
    const std::string& kind = w[1];
    SourceControl c;
    c.line = m_line;
    if (kind == "cc" && w.size() == 4) {
        auto num = integer(w[2], 0, 127);
        auto value = integer(w[3], 0, 127);
        if (!num || !value)
            return;
        if (droppedController(*num))
            return void(error("controller " + w[2] + " is ignored by the composer"));
        c = {m_line, 0, 0xB0, static_cast<uint8_t>(*num), static_cast<uint8_t>(*value)};
    } else if ((kind == "program" || kind == "pressure") && w.size() == 3) {
        auto value = integer(w[2], 0, 127);
        if (!value)
            return;
        c = {m_line, 0, static_cast<uint8_t>(kind == "program" ? 0xC0 : 0xD0), static_cast<uint8_t>(*value), 0};
    } else if (kind == "bend" && w.size() == 3) {
        auto value = integer(w[2], -8192, 8191);
        if (!value)
            return;
        const long v = *value + 8192;
        c = {m_line, 0, 0xE0, static_cast<uint8_t>(v & 0x7F), static_cast<uint8_t>(v >> 7)};
    } else if (kind == "aftertouch" && w.size() == 4) {
        std::string why;
        auto pitch = parsePitch(w[2], &why);
        auto value = pitch ? integer(w[3], 0, 127) : std::nullopt;
        if (!pitch)
            error(why);
        if (!pitch || !value)
            return;
        c = {m_line, 0, 0xA0, *pitch, static_cast<uint8_t>(*value)};
    } else {
        return void(error("unknown event '" + kind + "' or wrong number of values"));
    }
    for (uint32_t tick : at) {
        c.tick = tick;
        m_track->controls.push_back(c);
    }
}

void Parser::closeTrack()
{
    if (m_track == nullptr)
        return;
    auto notes = m_track->notes;
    std::stable_sort(notes.begin(), notes.end(), [](const SourceNote& a, const SourceNote& b) {
        return a.pitch != b.pitch ? a.pitch < b.pitch : a.start < b.start;
    });
    for (size_t i = 1; i < notes.size(); ++i)
        if (notes[i].pitch == notes[i - 1].pitch && notes[i].start < notes[i - 1].end)
            error("note " + std::to_string(notes[i].pitch) + " overlaps the one on line "
                      + std::to_string(notes[i - 1].line),
                  notes[i].line);
    m_track = nullptr;
}

void Parser::checkSegment(const SourceSegment& seg)
{
    const bool framing = seg.kind == SegmentKind::Intro || seg.kind == SegmentKind::Outro;
    if (seg.groups[0].empty())
        error("the segment has no major group", seg.line);
    if (framing && seg.groups[1].empty())
        error("an intro or outro needs a minor group too", seg.line);
}

void Parser::finish()
{
    if (!m_seenStyle)
        return void(error("the source is empty", 0));
    const std::pair<bool, const char*> required[] = {
        {m_style.id > 0, "'style'"}, {!m_style.name.empty(), "'name'"}, {m_style.metre >= 0, "'metre'"},
        {m_style.tempo > 0, "'tempo'"}, {!m_style.segments.empty(), "a segment"}};
    for (const auto& [present, what] : required)
        if (!present)
            error(std::string("missing ") + what, 0);
    bool anyMain = false;
    for (const auto& seg : m_style.segments) {
        checkSegment(seg);
        anyMain = anyMain || seg.kind == SegmentKind::Main;
    }
    if (!m_style.segments.empty() && !anyMain)
        error("a style needs at least one main segment", 0);
    std::stable_sort(m_result.errors.begin(), m_result.errors.end(),
                     [](const SourceError& a, const SourceError& b) { return a.line < b.line; });
}

} // namespace

ParseResult parseStyleSource(const std::string& text)
{
    return Parser().run(text);
}

} // namespace stylec
