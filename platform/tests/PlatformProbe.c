#include "melodrift_export.h"

MELODRIFT_API int PP_Answer(void);

int PP_Answer(void)
{
    return 42;
}
