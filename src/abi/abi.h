// How the engine-facing declarations of this folder are laid out.
//
// This folder holds exactly what an engine sees of the plug-in: the tables it calls, the records
// it reads and writes in place, and its own containers. The engine is built by the Windows
// compilers, so every declaration here spells out that compiler's layout instead of leaving it
// to whichever compiler builds the plug-in (as the C declarations of COM interfaces spell out
// their tables):
//
//  - Tables. The engine calls every operation by its position in the object's table of virtual
//    operations, so the declared order of virtual functions IS the binary interface: never
//    reorder, insert or remove one; entries the plug-in never calls stay as reservedN. Each
//    table lists its entries one a line, the entry's number first; the contract of its entries
//    (the calling thread, the locks held, the answers) follows in one block below it.
//  - Records. Every size and offset the two sides must agree on is asserted in record_layout.h
//    (the engine client's table check reads its numbers from there).
//  - Entry 0. The Windows compilers give a virtual destructor one entry, the "deleting
//    destructor", as entry 0. Other compilers give it two, which would move every later
//    entry, so no table here has a virtual destructor: entry 0 is declared once, as the function
//    it is, by EngineTable below, which every table derives from; a class implements it once for
//    all its tables with runDeletingDestructor. The plug-in never calls entry 0 of an engine
//    object.
//  - Virtual bases. The engine reaches the two bases of an OutputComponent through a table of
//    offsets (interfaces.h); the plug-in lays that table out as data.
//  - Class arguments by value. The engine's RectInt is passed whole (its table pointer, then the
//    edges): on the stack on 32-bit x86, where the callee removes it, by the address of the
//    caller's copy on x86-64. RectIntRecord (geometry_records.h) is that object as plain,
//    trivially copyable data, which every compiler passes the same way; the plug-in reads only
//    the edges.
//  - Calling convention. On 32-bit x86, member functions use thiscall (this in ECX, the callee
//    cleans the stack), which MinGW's g++ and the Windows compilers share; nothing crosses the
//    boundary by value except what the declarations here say.
//  - Containers. The engine's vectors and lists are declared as this project's own types with
//    that library's layout (engine_containers.h); what the plug-in puts in them comes from the
//    heap the engine's runtime uses (engine_heap.h).
#pragma once

#include <cstdint>
#include <new>

namespace KMC {

// Answer of queryInterface.
enum ResultCode : int32_t {
  kResultOk = 0,
  kResultNotFound = 3,
};

// A window as the engine hands it over (an HWND on Windows).
typedef uintptr_t WindowHandle;

// Flag of entry 0: free the object's storage after destroying it.
constexpr uint32_t kFreeStorage = 1;

// Entry 0 of every engine-facing table. Its destructor is protected and not virtual: nobody
// deletes an object through a table pointer, the deleting destructor does that.
class EngineTable {
 public:
  // Destroys the object, frees its storage when flags has kFreeStorage, answers its address.
  virtual void* deletingDestructor(uint32_t flags) = 0;

 protected:
  ~EngineTable() = default;
};

// Entry 0 of a class whose most derived type is Complete, as the Windows compilers build it:
// destroys the object, frees its storage (from a plain new Complete) when asked, answers its
// address.
template <typename Complete>
void* runDeletingDestructor(Complete* object, uint32_t flags) {
  object->~Complete();
  if (flags & kFreeStorage) ::operator delete(object);
  return object;
}

}  // namespace KMC
