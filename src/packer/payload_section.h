// The payload resource of a packed installer lives in a section of its own
// at the end of the image: the resource update calls hold a resource in
// memory whole, and the installer reads this section from its file, page by
// page, never through the mapped image.
#pragma once
#include <string>

namespace kwpack {

// The bytes written as the "_7Z" resource `name` before AttachPayload moves
// it: the entry that carries them is the one redirected.
inline constexpr char kPayloadPlaceholder[] = "payload placeholder of kwpack..";

// Appends the archive at `archive` (standard form) to the installer at
// `image` as a new read-only section, in its stored form (bytes 0 and 1
// exchanged), copied in bounded pieces, and points the "_7Z" resource
// `name`, written with kPayloadPlaceholder, at it. Throws PackError.
void AttachPayload(const std::wstring& image, const wchar_t* name, const std::wstring& archive);

}  // namespace kwpack
