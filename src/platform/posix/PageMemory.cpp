#include "platform/PageMemory.h"

#include <sys/mman.h>

#include <new>

namespace platform {

std::shared_ptr<char[]> allocateBlock(std::size_t size) {
  int flags = MAP_PRIVATE | MAP_ANONYMOUS;
#ifdef MAP_POPULATE
  flags |= MAP_POPULATE;
#endif
  void* block = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, flags, -1, 0);
  if (block == MAP_FAILED) throw std::bad_alloc();
  return std::shared_ptr<char[]>(static_cast<char*>(block), [size](char* p) { ::munmap(p, size); });
}

}  // namespace platform
