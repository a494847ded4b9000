#include "platform/PageMemory.h"

namespace platform {

std::shared_ptr<char[]> allocateBlock(std::size_t size) {
  return std::shared_ptr<char[]>(new char[size]);
}

}  // namespace platform
