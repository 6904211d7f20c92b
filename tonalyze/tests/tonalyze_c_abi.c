/* A plain C caller: loads the library by name and drives all four entry
 * points the way the melody recogniser and the style composer do. */
#include <stdio.h>
#include <string.h>

#include "MelodriftPlatform.h"
#include "Tonalyze.h"

#define CHECK(cond)                                                   \
    do {                                                              \
        if (!(cond)) {                                                \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
            return 1;                                                 \
        }                                                             \
    } while (0)

static void bind(void* fn, size_t size, void* lib, const char* name)
{
    void* symbol = MDP_GetSymbol(lib, name);
    memcpy(fn, &symbol, size < sizeof symbol ? size : sizeof symbol);
}

int main(void)
{
    /* C D E F | G A B C in quarter notes, 192 ticks a beat. */
    const uint8_t notes[8] = {60, 62, 64, 65, 67, 69, 71, 72};
    const uint16_t lengths[8] = {192, 192, 192, 192, 192, 192, 192, 192};
    uint8_t up[8];
    char error[512] = "";
    void* lib = MDP_LoadLibrary("Tonalyze.dll", error, sizeof error);
    MA_KeyAnalysisFn keyAnalysis;
    MA_InputMelodyFn inputMelody;
    MA_MelodyAnalysisFn melodyAnalysis;
    MA_ReleaseFn release;
    MA_Section sections[2];
    MA_Chord chords[4];
    MA_Fill fills[2];
    int32_t bars = 0, ns = 0, nc = 0, nf = 0;
    int i;

    CHECK(lib != NULL);
    /* ISO C has no object-to-function pointer cast; copy the bits as POSIX allows. */
    bind(&keyAnalysis, sizeof keyAnalysis, lib, "MA_KeyAnalysis");
    bind(&inputMelody, sizeof inputMelody, lib, "MA_InputMelody");
    bind(&melodyAnalysis, sizeof melodyAnalysis, lib, "MA_MelodyAnalysis");
    bind(&release, sizeof release, lib, "MA_Release");
    CHECK(keyAnalysis && inputMelody && melodyAnalysis && release);

    CHECK(keyAnalysis(notes, lengths, 8, 192, 0) == 0);
    for (i = 0; i < 8; ++i)
        up[i] = (uint8_t)(notes[i] + 7);
    CHECK(keyAnalysis(up, lengths, 8, 192, 0) == 7);
    CHECK(keyAnalysis(NULL, lengths, 8, 192, 0) == -1);

    CHECK(melodyAnalysis(0, &ns, sections, &nc, chords, &nf, fills) == -1);
    CHECK(inputMelody(notes, lengths, 8, 192, 0, 120, &bars) == 0);
    CHECK(bars == 2);
    CHECK(melodyAnalysis(0, &ns, sections, &nc, chords, &nf, fills) == 0);
    CHECK(ns == 1 && sections[0].lastBar == 1 && sections[0].pattern == 0);
    CHECK(nc >= 2 && nc <= 4);
    CHECK(chords[0].code == 0); /* the scale opens on C major */
    CHECK(nf == 0);
    CHECK(release() == 0);
    CHECK(melodyAnalysis(0, &ns, sections, &nc, chords, &nf, fills) == -1);
    MDP_FreeLibrary(lib);
    puts("tonalyze C boundary: ok");
    return 0;
}
