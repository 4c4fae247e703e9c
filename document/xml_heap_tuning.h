// Process-wide tuning of the C heap for the document trees, called once at the start of a
// program, before anything is allocated. The one state it keeps is whether the heap was tuned.
#pragma once

// A document is millions of small blocks made together and freed together. glibc keeps small
// freed blocks in fast bins and consolidates them all at the next large request, which made
// loading and saving large files several times slower; the fast bins are turned off. Memory a
// freed document gave back is kept for the next one (a run loads one document per profile)
// instead of being returned and faulted in again page by page. Other heaps (the Windows heap
// among them) are left as they are.
void tuneHeapForDocuments();

// Whether the heap was tuned so that a large block, once freed, stays with the process for the
// next request of any kind. Where it does not (the Windows heap gives each one back to the
// system), code that frees and makes large blocks in turn had better keep them itself.
bool heapKeepsFreedBlocks();
