// Little-endian fields of the file formats the packer writes and reads.
#pragma once
#include <cstdint>
#include <string>

namespace kwpack {

inline void Put16(std::string& out, unsigned value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}
inline void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}
inline unsigned Get16(const std::string& in, std::size_t at) {
  return static_cast<unsigned char>(in[at]) | (static_cast<unsigned char>(in[at + 1]) << 8);
}
inline std::uint32_t Get32(const std::string& in, std::size_t at) {
  return Get16(in, at) | (static_cast<std::uint32_t>(Get16(in, at + 2)) << 16);
}

}  // namespace kwpack
