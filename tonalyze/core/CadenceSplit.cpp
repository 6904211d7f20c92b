// The cadence split of a long stretch: where the first phrase most likely
// comes to rest, judged by tonic and dominant chords, long notes and
// whether the music goes on by repeating itself.
#include "Sectioner.h"

namespace tonalyze {

int Sectioner::cadenceSplit(int s, int e) const
{
    (void)e;
    if (s <= m_song.pickup() || m_song.opensOnTonic(s, m_mode))
        return cadenceSplitOnTonic(s, m_mode);
    if (m_song.opensOnTonic(s, -m_mode))
        return cadenceSplitOnTonic(s, -m_mode);
    return cadenceSplitElsewhere(s);
}

// Bars x+2 and x+4 (two bars each) do not repeat bars x, x+1.
bool Sectioner::doesNotRepeat(int x) const
{
    return !m_song.similar(x + 2, x, 2) && !m_song.similar(x + 4, x, 2);
}

int Sectioner::cadenceSplitOnTonic(int s, int mode) const
{
    const int v = m_song.extension(s + 7, mode);
    if (v > 0)
        return s + 7 + v;
    bool restChord = false;
    if (m_song.valid(s + 7))
        for (int i = 0; i < 3; ++i) {
            const int f = m_song.late(s + 7)[i].function;
            restChord = restChord || isModeTonic(f, mode) || isModeDominant(f, mode);
        }
    if (m_song.canEnd(s + 7) && doesNotRepeat(s + 7) && restChord && m_song.hasLongNote(s + 7))
        return s + 7;
    if ((m_song.lateTonicLike(s + 6) || m_song.lateDominantLike(s + 6)) && m_song.hasLongNote(s + 6))
        return s + 6;
    return s + 7;
}

int Sectioner::cadenceSplitElsewhere(int s) const
{
    int c = 0;
    if (m_song.similar(s + 8, s + 4, 2))
        c = 4;
    else if (m_song.similar(s + 9, s + 5, 2))
        c = 5;
    const int l = m_song.extension(s + 3, m_mode);
    const bool a = (m_song.canEnd(s + 3) && doesNotRepeat(s + 3) && m_song.lateTonicLike(s + 3) &&
                    m_song.opensOnTonic(s + 4, m_mode)) ||
                   l > 0;
    const bool early = c == 0 && m_song.canEnd(s + 7) && doesNotRepeat(s + 7);
    const bool tonic = m_song.lateTonicLike(s + 7) && m_song.opensOnTonic(s + 8, m_mode);
    const int v = m_song.extension(s + 7, m_mode);
    const bool l3 = m_song.hasLongNote(s + 3);
    const bool l7 = m_song.hasLongNote(s + 7);
    if (!a) {
        if (early)
            return s + 7 + v;
        return c > 0 ? s + c - 1 : s + 7;
    }
    if (v == 0 && !(early && tonic))
        return s + 3 + l;
    if (l3 && !l7)
        return s + 3 + l;
    if (l3 && l7)
        // Both bars 4 and 8 could close; the eight-bar phrase wins, also when
        // bar 4 rings on into the next bar.
        return s + 7 + v;
    return l7 ? s + 7 + v : s + 7;
}

}  // namespace tonalyze
