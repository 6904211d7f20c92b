/* Marks the C entry points a library exports; everything else is hidden. */
#ifndef MELODRIFT_EXPORT_H
#define MELODRIFT_EXPORT_H

#if defined(__GNUC__)
#define MELODRIFT_EXPORT __attribute__((visibility("default")))
#else
#define MELODRIFT_EXPORT
#endif

#ifdef __cplusplus
#define MELODRIFT_API extern "C" MELODRIFT_EXPORT
#else
#define MELODRIFT_API MELODRIFT_EXPORT
#endif

/* One compile-time check that reads the same in C and C++. */
#ifdef __cplusplus
#define MELODRIFT_STATIC_ASSERT(condition, message) static_assert(condition, message)
#else
#define MELODRIFT_STATIC_ASSERT(condition, message) _Static_assert(condition, message)
#endif

#endif
