#pragma once

#include <cstdio>
#include <cstdlib>

// What the fuzz targets share: a property that must hold, said in the log
// when it does not (libFuzzer then keeps the input as a crash).
#define FUZZ_CHECK(condition)                                                         \
    do {                                                                              \
        if (!(condition)) {                                                           \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                             \
        }                                                                             \
    } while (false)

