#pragma once
// Memory for the large blocks a flooded pane fills. Taken from the system
// with its pages already in place where the system offers that (Linux): a
// block is filled at the pace of the link, and one call that maps all its
// pages costs the window's thread far less than a page fault every 4 KiB.
#include <cstddef>
#include <memory>

namespace platform {

// An uninitialised block of size bytes, released when the last owner goes.
std::shared_ptr<char[]> allocateBlock(std::size_t size);

}  // namespace platform
