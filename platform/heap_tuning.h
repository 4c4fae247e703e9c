// Process-wide tuning of the C heap for the document trees, called once at the start of a
// program, before anything is allocated.
#pragma once

namespace platform {

// A document is millions of small blocks made together and freed together. glibc keeps small
// freed blocks in fast bins and consolidates them all at the next large request, which made
// loading and saving large files several times slower; the fast bins are turned off. Memory a
// freed document gave back is kept for the next one (a run loads one document per profile)
// instead of being returned and faulted in again page by page. Other heaps (the Windows heap
// among them) are left as they are.
void tuneHeapForDocuments();

}  // namespace platform
