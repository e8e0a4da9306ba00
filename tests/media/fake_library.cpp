// A stand-in for one media library: exports every name of one binding list (chosen with
// QUILLO_FAKE_ENTRIES) as a function that does nothing, so the loader can be tested without
// the real libraries and without their system copies being found.

#include "media/library_entries.h"

#define QUILLO_FAKE_EXPORT(name) \
    extern "C" __attribute__((visibility("default"))) void name() {}

QUILLO_FAKE_ENTRIES(QUILLO_FAKE_EXPORT)

extern "C" {
__attribute__((visibility("default"))) int quillo_fake_variable = 7;
}
