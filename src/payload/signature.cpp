#include "payload/signature.h"

namespace kw {

void SwapSignatureBytes(unsigned char* bytes, std::size_t size) {
  if (bytes == nullptr || size < 2) return;
  const unsigned char first = bytes[0];
  bytes[0] = bytes[1];
  bytes[1] = first;
}

}  // namespace kw
