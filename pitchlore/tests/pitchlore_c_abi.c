/* The headers compile as C11 and the libraries are usable from C. */
#include "Pitchlore.h"
#include "Tunescan.h"

#include <stdio.h>
#include <string.h>

static int failures = 0;

static void check(int ok, const char* what)
{
    if (!ok) {
        fprintf(stderr, "failed: %s\n", what);
        ++failures;
    }
}

int main(void)
{
    float spectrum[1024];
    int32_t lead = -1, bars = -1, key = 0, ts = 0, tempo = 0, count = 4;
    int32_t pitches[4], lengths[4];
    uint32_t i;

    check(MR_DestroyAnalyser() == 0, "destroy without analyser");
    check(MR_ResetAnalyser(120, 0, 2048, 20) == -1, "reset without analyser");
    check(MR_CreateAnalyser() == 0, "create");
    check(MR_ResetAnalyser(120, 5, 2048, 20) == -1, "metre 5 refused");
    check(MR_ResetAnalyser(120, 0, 2048, 20) == 0, "reset");
    memset(spectrum, 0, sizeof spectrum);
    for (i = 0; i < 200; ++i)
        MR_FrameAnalysis(i, spectrum);
    check(MR_MelodyAnalysis(&lead, &bars, -1) == 0, "silence has no notes");
    check(MR_GetMelodyInfo(&key, &ts, &tempo) == 0 && ts == 0 && tempo == 120, "info");
    check(MR_GetMelody(NULL, NULL, -1) == 0, "empty melody");
    check(MR_DestroyAnalyser() == 0, "destroy");
    check(SM_RetriveMelody(NULL, -1, &ts, &tempo, pitches, lengths, &count) == SM_ERR_ARGUMENT, "null path");
    check(sizeof(MR_NoteRecord) == 8, "record size");
    return failures == 0 ? 0 : 1;
}
