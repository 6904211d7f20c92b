#include "Quantiser.h"

#include <algorithm>
#include <cstdint>

namespace pitchlore {

Quantiser::Quantiser(uint32_t unit, uint32_t framesPerBar)
    : m_unit(static_cast<int32_t>(std::max<uint32_t>(unit, 1)))
    , m_half(m_unit / 2)
    , m_bar(static_cast<int32_t>(framesPerBar))
{
}

BarLayout Quantiser::quantise(NoteRecords& notes) const
{
    BarLayout layout;
    if (notes.empty())
        return layout;
    layout.leadInBars = alignFirstNote(notes);
    roundLengths(notes);
    if (!notes.empty() && notes.back().isRest())
        notes.pop_back();
    layout.barCount = padLastBar(notes);
    return layout;
}

int32_t Quantiser::alignFirstNote(NoteRecords& notes) const
{
    int32_t bars = 0;
    NoteRecord& first = notes.front();
    if (!first.isRest())
        return 0;
    if (first.frames > m_bar) {
        // As many whole bars as leave the rest longer than nothing.
        bars = (first.frames - 1) / m_bar;
        first.frames -= bars * m_bar;
    }
    if (m_half + first.frames > m_bar && notes.size() > 1) {
        // The note came in just before the bar line: start it on the line.
        NoteRecord& next = notes[1];
        next.frames = std::max(0, next.frames - (m_bar - first.frames));
        first.frames = 0;
        ++bars;
    }
    return bars;
}

void Quantiser::roundLengths(NoteRecords& notes) const
{
    int64_t carry = 0;
    size_t k = 0;
    while (k < notes.size()) {
        NoteRecord& note = notes[k];
        int64_t frames = note.frames;
        if (frames + carry > m_half) {
            frames += carry;
            carry = 0;
        }
        int64_t f = frames % m_unit;
        if (f > m_half) {
            frames += m_unit - f;
            carry += f - m_unit;
        } else if (f > 0) {
            frames -= f;
            carry += f;
        }
        note.frames = static_cast<int32_t>(std::min<int64_t>(frames, INT32_MAX));
        if (note.frames <= 0) {
            notes.erase(notes.begin() + static_cast<std::ptrdiff_t>(k));
            continue;
        }
        if (k > 0 && note.isRest() && notes[k - 1].isRest()) {
            // Rounding removed the note between two rests: join them and
            // round the joined rest again with the carry as it stands.
            notes[k - 1].frames = static_cast<int32_t>(
                std::min<int64_t>(static_cast<int64_t>(notes[k - 1].frames) + note.frames, INT32_MAX));
            notes.erase(notes.begin() + static_cast<std::ptrdiff_t>(k));
            --k;
            continue;
        }
        ++k;
    }
}

int32_t Quantiser::padLastBar(NoteRecords& notes) const
{
    int64_t total = 0;
    for (const NoteRecord& note : notes)
        total += note.frames;
    int64_t bars = (total + m_bar - 1) / m_bar;
    int64_t missing = bars * m_bar - total;
    if (notes.size() >= 2 && missing > 0) {
        if (notes.back().isRest())
            notes.back().frames += static_cast<int32_t>(missing);
        else
            notes.push_back(NoteRecord{-1.0f, static_cast<int32_t>(missing)});
    }
    return static_cast<int32_t>(std::min<int64_t>(bars, INT32_MAX));
}

void Quantiser::splitLongNotes(NoteRecords& notes, uint32_t unit, uint32_t framesPerBeat)
{
    int64_t byTicks = (65535LL * framesPerBeat) / 192;
    int64_t limit = std::min<int64_t>(65535, byTicks);
    if (unit > 0 && limit >= unit)
        limit -= limit % unit;
    limit = std::max<int64_t>(limit, 1);
    // Past this many pieces a note is capped: no melody holds hours of one
    // note, and a damaged file must not turn one record into millions.
    constexpr int kMaxPieces = 64;
    NoteRecords out;
    out.reserve(notes.size());
    for (NoteRecord note : notes) {
        note.frames = static_cast<int32_t>(std::min<int64_t>(note.frames, limit * kMaxPieces));
        while (note.frames > limit) {
            out.push_back(NoteRecord{note.pitch, static_cast<int32_t>(limit)});
            note.frames -= static_cast<int32_t>(limit);
        }
        out.push_back(note);
    }
    notes.swap(out);
}

}  // namespace pitchlore
