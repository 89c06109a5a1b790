// How the engine-facing interfaces of this library are laid out.
//
// The engine calls every interface and engine object operation by its position in the object's
// table of virtual operations, so the declared order of virtual functions in these headers IS
// the binary interface: never reorder, insert or remove a virtual function; unused positions
// are kept as placeholders named reservedN.
//
// Positions are counted as the 32-bit Windows compilers count them: a virtual destructor is
// one entry (position 0). g++ gives a virtual destructor two table entries, which shifts every
// later entry by one; engine and plug-in stay consistent only because both are built from these
// same declarations with the same compiler.
#pragma once

#include <cstdint>

namespace KMC {

// Answer of queryInterface.
enum ResultCode : int32_t {
  kResultOk = 0,
  kResultNotFound = 3,
};

// A window as the engine hands it over (an HWND on Windows).
typedef uintptr_t WindowHandle;

}  // namespace KMC
