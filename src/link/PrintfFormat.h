#pragma once

// Has the compiler check a printf-style function's arguments against its format: formatIndex
// is the format's parameter number, firstArgument that of the first argument (0 for a
// va_list). GCC and clang check; MSVC, which has no such attribute on declarations, compiles
// it as nothing.
#if defined(__GNUC__) || defined(__clang__)
#define MIRELIGHT_PRINTF_FORMAT(formatIndex, firstArgument)                                        \
    __attribute__((__format__(__printf__, formatIndex, firstArgument)))
#else
#define MIRELIGHT_PRINTF_FORMAT(formatIndex, firstArgument)
#endif
