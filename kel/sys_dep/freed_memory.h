// How the process's allocator treats memory that is freed.
#ifndef CORVEX_KEL_SYS_DEP_FREED_MEMORY_H
#define CORVEX_KEL_SYS_DEP_FREED_MEMORY_H

namespace kel::sys_dep {

// From now on, freed memory stays with the process for its next allocations instead of going
// back to the system, and blocks up to 32 MB come from that memory too. A short-lived process
// that allocates and frees page-sized buffers on several threads then takes no fresh pages (and
// their page faults) for each buffer. Where the allocator offers no such setting, nothing changes.
void keepFreedMemory();

}  // namespace kel::sys_dep

#endif
