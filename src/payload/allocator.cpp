#include "payload/allocator.h"

#include <windows.h>

namespace kw {

namespace {

void* HeapAllocate(ISzAllocPtr, size_t size) {
  return size == 0 ? nullptr : HeapAlloc(GetProcessHeap(), 0, size);
}

void HeapRelease(ISzAllocPtr, void* address) {
  if (address) HeapFree(GetProcessHeap(), 0, address);
}

}  // namespace

const ISzAlloc kDecoderAlloc = {HeapAllocate, HeapRelease};

}  // namespace kw
