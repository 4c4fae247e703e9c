#include "document/xml_heap_tuning.h"

#include <cstdlib>  // defines __GLIBC__ where glibc is the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

bool tuned = false;

}  // namespace

void tuneHeapForDocuments() {
#if defined(__GLIBC__)
  mallopt(M_MXFAST, 0);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  tuned = true;
#endif
}

bool heapKeepsFreedBlocks() {
  return tuned;
}
