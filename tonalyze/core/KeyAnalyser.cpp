#include "KeyAnalyser.h"

#include <cstdio>

#include "KeyTrace.h"

namespace tonalyze {
namespace {

constexpr std::array<int, 7> kScale = {0, 2, 4, 5, 7, 9, 11};
constexpr std::array<int, 5> kPentatonic = {0, 2, 4, 7, 9};
constexpr std::array<int, 4> kCore = {0, 4, 7, 9};

// Runner-up over best. Under this the scale ranking alone is clear enough
// to decide.
constexpr double kClearScale = 0.85;
// At or over this in both the scale and the pentatonic ranking, two keys are
// as good as tied, and the opening of the melody has to settle it.
constexpr double kNearTie = 0.95;

// Folk tunes end on their tonic: do in major, la in minor. Among the keys
// whose scale fits nearly as well as the best, the one the last note closes
// is the key, when only one of them is.
int keyClosedByLastNote(const KeyRanking& scale, int finalPitchClass)
{
    if (finalPitchClass < 0)
        return -1;
    int found = -1;
    for (int tonic : scale.within(kClearScale)) {
        const int degree = (finalPitchClass - tonic + 12) % 12;
        if (degree != 0 && degree != 9)
            continue;
        if (found >= 0)
            return -1;
        found = tonic;
    }
    return found;
}

std::string decisionLine(const char* format, int key)
{
    char buf[128];
    std::snprintf(buf, sizeof buf, format, key);
    return buf;
}

}  // namespace

int KeyAnalyser::analyse(const NoteSpan& melody, int ticksPerBeat, int ts)
{
    if (melody.size() == 0 || !Metre::isValidCode(ts) || ticksPerBeat < 4 || !melody.hasPitchedNote())
        return -1;
    const Metre metre(ts, ticksPerBeat);
    const KeyProfiles profiles = KeyProfileBuilder(metre).build(melody);
    KeyTrace trace;
    return decide(profiles, trace.enabled() ? &trace.text() : nullptr);
}

int KeyAnalyser::decide(const KeyProfiles& p, std::string* trace)
{
    const KeyRanking scale = KeyRanking::rank(p.whole, kScale);
    const KeyRanking penta = KeyRanking::rank(p.whole, kPentatonic);
    const KeyRanking core = KeyRanking::rank(p.whole, kCore);
    const KeyRanking opening = KeyRanking::rank(p.opening, kCore);
    if (trace) {
        *trace += "\n★★★★★★★★★★★★★★★★★★★★★★★★★★★★★★★★★★★★全曲12个音列表"
                  "★★★★★★★★★★★★★★★★★★★★★★★★★★★★★★★★★★★★\n";
        *trace += "0\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\n";
        for (int64_t v : p.whole)
            *trace += std::to_string(v) + "\t";
        *trace += "\n------------------------------------------------------------------------------------------\n";
        *trace += "\n首节1356音加权:\t" + opening.traceText();
        *trace += "\n音阶内音加权:\t" + scale.traceText();
        *trace += "\n12356音加权:\t" + penta.traceText();
        *trace += "\n1356音加权:\t" + core.traceText();
    }
    int key;
    const char* line;
    if (scale.ratio() < kClearScale) {
        key = scale.best();
        line = "\n★最终曲调:%d\n";
    } else if (penta.best() == scale.best() && !(penta.ratio() >= kNearTie && scale.ratio() >= kNearTie)) {
        key = scale.best();
        line = "\n★最终曲调:%d\n";
    } else if (const int closed = keyClosedByLastNote(scale, p.finalPitchClass); closed >= 0) {
        key = closed;
        line = "\n★结尾音判断，最终曲调:%d\n";
    } else if (penta.best() == opening.best() && opening.hasSingleBest()) {
        key = penta.best();
        line = "\n★第一小节==12356加权，最终曲调:%d\n";
    } else if (core.best() == opening.best() && opening.hasSingleBest()) {
        key = core.best();
        line = "\n★第一小节==1356加权，最终曲调:%d\n";
    } else {
        const double s = scale.ratio(), q = penta.ratio(), c = core.ratio();
        if (s < q && s < c)
            key = scale.best();
        else if (q < c && q < s)
            key = penta.best();
        else
            key = core.best();
        line = "\n★最大差比判断，最终曲调:%d\n";
    }
    if (trace)
        *trace += decisionLine(line, key);
    return key;
}

}  // namespace tonalyze
