// The payload resource differs from a standard 7z file in one respect: its
// first two bytes are exchanged, so the stored signature reads 7A 37 BC AF 27 1C.
#pragma once
#include <cstddef>

namespace kw {

// Resource type of payload archives.
inline constexpr wchar_t kPayloadResourceType[] = L"_7Z";

// Exchanges bytes 0 and 1, in either direction. Works on a copy of the
// resource bytes, never on the loaded resource image; fewer than two bytes
// are left as they are.
void SwapSignatureBytes(unsigned char* bytes, std::size_t size);

}  // namespace kw
