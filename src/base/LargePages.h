#pragma once

#include <cstddef>
#include <vector>

// Where the system lets a program ask for it (Linux with transparent huge
// pages set to "madvise" or "always"), a large buffer is given its memory in
// pages of 2 MiB instead of 4 KiB. A buffer of many megabytes, such as the
// arrays of a large register's tree, is then filled after a few dozen page
// faults instead of thousands, each of which costs the system more than the
// rows written into the page (on a virtual machine about 20 µs).
// LargePages.cpp holds the program's only call to the system's memory
// interface.
namespace LargePages {

// Asks for large pages for the 2 MiB blocks wholly inside [data, data + bytes);
// a smaller buffer is left as it is. Changes nothing the buffer holds; a
// system that has no large pages to give fills the buffer as before.
void prefer(const void* data, std::size_t bytes);

// The same for the room a vector has reserved.
template <class T>
void prefer(const std::vector<T>& v) {
    prefer(v.data(), v.capacity() * sizeof(T));
}

}  // namespace LargePages
