#pragma once
// For processes that decode and encode one picture after another in buffers of much the
// same sizes: freed memory (up to `keepBytes` at the heap's top, blocks up to 32 MB) is
// kept for the next picture instead of being handed back and faulted in again page by
// page, which costs a decoder or an encoder about a tenth of its time.

#include <malloc.h>

namespace quorvane {

inline void KeepFreedMemoryForReuse(int keepBytes) {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, keepBytes);
}

}  // namespace quorvane
