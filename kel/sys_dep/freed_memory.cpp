#include "kel/sys_dep/freed_memory.h"

#include <cstdlib>  // defines __GLIBC__ where glibc is the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kel::sys_dep {

void keepFreedMemory() {
#if defined(__GLIBC__)
  // Both are needed: setting the trim threshold alone stops glibc from raising the mmap
  // threshold as large blocks are freed, so every page-sized buffer would be mapped anew.
  mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
#endif
}

}  // namespace kel::sys_dep
