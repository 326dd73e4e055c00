// Memory that runs out on purpose in the fuzz targets: a replacement of operator new.
#ifndef SOLVO_FUZZ_FAILING_NEW_H_
#define SOLVO_FUZZ_FAILING_NEW_H_

#include <cstddef>
#include <cstdint>

namespace solvo_fuzz {

// Every operator new of a fuzz target (all its forms) fails a request of more than
// kLargestRequest bytes as if memory had run out, so that a count from the input can ask for any
// size: libFuzzer would report a real allocation that large as a crash of its own.
constexpr size_t kLargestRequest = size_t{256} << 20;

// Makes the `n`-th operator new of this thread from now on (1: the next) fail, and the later
// ones succeed again; 0 disarms.
void FailNthNew(int64_t n);
// Whether the armed request has failed since.
bool NewFailed();

}  // namespace solvo_fuzz

#endif  // SOLVO_FUZZ_FAILING_NEW_H_
