/* Every public header as a C11 program sees it, compiled with -pedantic
 * -Werror: the C branches (the layout checks among them) of headers that the
 * libraries only ever compile as C++ must still be C. */
#include "Arrangix.h"
#include "Glyphmint.h"
#include "MelodriftMessages.h"
#include "MelodriftPlatform.h"
#include "Patbank.h"
#include "Pitchlore.h"
#include "Sonobox.h"
#include "Tidelink.h"
#include "Tonalyze.h"
#include "Tunescan.h"
#include "melodrift_export.h"

int main(void)
{
    /* The records callers exchange with the libraries, as C lays them out. */
    return sizeof(SM_Chord) == 8 && sizeof(MA_Chord) == 8 && sizeof(MR_NoteRecord) == 8 ? 0 : 1;
}
