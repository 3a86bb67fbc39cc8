// The machine type a Windows image is built for: the Machine field of its PE
// header. Windows-free: the caller reads the file's first bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// The image file machine types the package's files are built for.
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;

// How many bytes of a file ReadPeMachine needs at most: the PE header of every
// image a linker writes begins within them.
constexpr size_t kPeMachineProbeSize = 4096;

// The Machine field of the PE image whose first size bytes are bytes, into
// *machine. False, *machine untouched, for anything that is not a PE image
// (no "MZ", a header offset outside the bytes, no "PE\0\0" there).
bool ReadPeMachine(const unsigned char* bytes, size_t size, uint16_t* machine);
