#include "packer/resources.h"

#include <cstring>

#include "packer/bytes.h"
#include "packer/pack_error.h"

namespace kwpack {

namespace {

void PutText(std::string& out, const std::wstring& text) {
  for (wchar_t c : text) Put16(out, c);
  Put16(out, 0);
}
void Align(std::string& out) {
  while (out.size() % 4) out.push_back('\0');
}

// One node of the version tree: length, value length, type, key, value,
// children, each part on a 4-byte boundary.
template <typename Children>
void Node(std::string& out, const std::wstring& key, const std::string& value, unsigned valueLength, bool text,
          Children children) {
  Align(out);
  const std::size_t start = out.size();
  Put16(out, 0);
  Put16(out, valueLength);
  Put16(out, text ? 1 : 0);
  PutText(out, key);
  Align(out);
  out += value;
  children(out);
  const std::size_t length = out.size() - start;
  out[start] = static_cast<char>(length & 0xFF);
  out[start + 1] = static_cast<char>((length >> 8) & 0xFF);
}

void NoChildren(std::string&) {}

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list) {
  reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
  return TRUE;
}

}  // namespace

bool ParseVersion(const std::wstring& text, std::uint16_t (&number)[4]) {
  std::uint16_t parts[4] = {};
  std::size_t index = 0, at = 0;
  while (true) {
    std::size_t end = text.find(L'.', at);
    if (end == std::wstring::npos) end = text.size();
    if (index == 4 || end == at || end - at > 5) return false;
    unsigned long value = 0;
    for (std::size_t i = at; i < end; ++i) {
      if (text[i] < L'0' || text[i] > L'9') return false;
      value = value * 10 + (text[i] - L'0');
    }
    if (value > 0xFFFF) return false;
    parts[index++] = static_cast<std::uint16_t>(value);
    if (end == text.size()) break;
    at = end + 1;
  }
  std::memcpy(number, parts, sizeof parts);
  return true;
}

std::string BuildVersionInfo(const VersionFields& fields) {
  const auto* n = fields.number;
  const std::wstring dotted = std::to_wstring(n[0]) + L"." + std::to_wstring(n[1]) + L"." + std::to_wstring(n[2]) +
                              L"." + std::to_wstring(n[3]);
  std::string fixed;
  Put32(fixed, 0xFEEF04BD);
  Put32(fixed, 0x00010000);
  Put32(fixed, (static_cast<std::uint32_t>(n[0]) << 16) | n[1]);
  Put32(fixed, (static_cast<std::uint32_t>(n[2]) << 16) | n[3]);
  Put32(fixed, (static_cast<std::uint32_t>(n[0]) << 16) | n[1]);
  Put32(fixed, (static_cast<std::uint32_t>(n[2]) << 16) | n[3]);
  Put32(fixed, VS_FFI_FILEFLAGSMASK);
  Put32(fixed, 0);
  Put32(fixed, VOS_NT_WINDOWS32);
  Put32(fixed, VFT_APP);
  Put32(fixed, 0);
  Put32(fixed, 0);
  Put32(fixed, 0);

  const std::pair<const wchar_t*, std::wstring> strings[] = {
      {L"CompanyName", fields.company},   {L"FileDescription", fields.description}, {L"FileVersion", dotted},
      {L"LegalCopyright", fields.copyright}, {L"ProductName", fields.product},      {L"ProductVersion", dotted},
  };
  std::string out;
  Node(out, L"VS_VERSION_INFO", fixed, static_cast<unsigned>(fixed.size()), false, [&](std::string& o) {
    Node(o, L"StringFileInfo", {}, 0, true, [&](std::string& o2) {
      Node(o2, L"080404b0", {}, 0, true, [&](std::string& o3) {
        for (const auto& [key, value] : strings) {
          if (value.empty()) continue;
          std::string text;
          PutText(text, value);
          Node(o3, key, text, static_cast<unsigned>(value.size() + 1), true, NoChildren);
        }
      });
    });
    Node(o, L"VarFileInfo", {}, 0, true, [&](std::string& o2) {
      std::string translation;
      Put16(translation, 0x0804);
      Put16(translation, 1200);
      Node(o2, L"Translation", translation, 4, false, NoChildren);
    });
  });
  return out;
}

ResourceWriter::ResourceWriter(const std::wstring& engine, const std::wstring& target) : target_(target) {
  engine_.Reset(LoadLibraryExW(engine.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!engine_) Fail(L"Engine cannot be read as an executable: " + engine);
  update_.Reset(BeginUpdateResourceW(target.c_str(), FALSE));
  if (!update_)
    Fail(L"Cannot update the resources of " + target + L" (error " + std::to_wstring(GetLastError()) + L")");
}

ResourceWriter::~ResourceWriter() = default;

std::vector<WORD> ResourceWriter::Languages(const wchar_t* type, const wchar_t* name) const {
  std::vector<WORD> languages;
  EnumResourceLanguagesW(engine_.Get(), type, name, AddLanguage, reinterpret_cast<LONG_PTR>(&languages));
  return languages;
}

void ResourceWriter::Remove(const wchar_t* type, const wchar_t* name) {
  for (WORD language : Languages(type, name)) UpdateResourceW(update_.Get(), type, name, language, nullptr, 0);
}

void ResourceWriter::Write(const wchar_t* type, const wchar_t* name, const std::string& bytes) {
  // Keep the engine's language for the resource, drop any other.
  const std::vector<WORD> languages = Languages(type, name);
  const WORD language = languages.empty() ? MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL) : languages.front();
  for (WORD other : languages)
    if (other != language) UpdateResourceW(update_.Get(), type, name, other, nullptr, 0);
  if (!UpdateResourceW(update_.Get(), type, name, language, const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size())))
    Fail(L"Cannot write a resource into " + target_ + L" (error " + std::to_wstring(GetLastError()) + L")");
}

void ResourceWriter::WriteIcon(const std::string& ico, const std::wstring& path) {
  // ICONDIR: reserved 0, type 1, count; then 16-byte entries whose image
  // offsets and sizes must lie inside the file.
  const auto bad = [&] { Fail(L"Icon is not a valid .ico file: " + path); };
  if (ico.size() < 6 || Get16(ico, 0) != 0 || Get16(ico, 2) != 1 || Get16(ico, 4) == 0) bad();
  const unsigned count = Get16(ico, 4);
  if (ico.size() < 6 + 16 * static_cast<std::size_t>(count)) bad();

  // The engine's group lists the icon ids it owns: those go with it.
  if (HRSRC found = FindResourceW(engine_.Get(), MAKEINTRESOURCEW(128), RT_GROUP_ICON)) {
    const DWORD size = SizeofResource(engine_.Get(), found);
    const void* data = LockResource(LoadResource(engine_.Get(), found));
    if (data && size >= 6) {
      const std::string group(static_cast<const char*>(data), size);
      const unsigned old = Get16(group, 4);
      for (unsigned i = 0; i < old && 6 + 14 * (i + 1) <= size; ++i)
        Remove(RT_ICON, MAKEINTRESOURCEW(Get16(group, 6 + 14 * i + 12)));
    }
  }

  std::string group;
  Put16(group, 0);
  Put16(group, 1);
  Put16(group, count);
  for (unsigned i = 0; i < count; ++i) {
    const std::size_t entry = 6 + 16 * static_cast<std::size_t>(i);
    const std::uint32_t size = Get32(ico, entry + 8), offset = Get32(ico, entry + 12);
    if (size == 0 || offset > ico.size() || size > ico.size() - offset) bad();
    const WORD id = static_cast<WORD>(i + 1);
    group.append(ico, entry, 12);  // width .. bytes in resource
    Put16(group, id);
    Write(RT_ICON, MAKEINTRESOURCEW(id), ico.substr(offset, size));
  }
  Write(RT_GROUP_ICON, MAKEINTRESOURCEW(128), group);
}

void ResourceWriter::Commit() {
  if (!EndUpdateResourceW(update_.Release(), FALSE))
    Fail(L"Cannot write the resources into " + target_ + L" (error " + std::to_wstring(GetLastError()) + L")");
}

}  // namespace kwpack
