// Whole reads and writes over POSIX descriptors, shared by the stand-in's file, LZ32 and profile
// operations; each names the operation it serves so that test builds can make it fail.
#pragma once

#include <cstddef>

#include "platform/hosted/faults.h"

namespace hosted {

// Reads until count bytes are in or the file ends; returns how many, or -1 on failure.
long ReadFully(int fd, void* buffer, std::size_t count, Operation operation);

// Writes all count bytes; returns count, fewer when the disk is full, or -1 on failure.
long WriteFully(int fd, const void* data, std::size_t count, Operation operation);

}  // namespace hosted
