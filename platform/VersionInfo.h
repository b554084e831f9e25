#pragma once
// Version information of a program file, read the way the About window asks
// for it. The build embeds a version block in the executable (an ELF section
// named .vorta_version, see platform/VersionInfoBlock.cpp.in); a file without
// that section has no version information.
//
// Block layout: the magic "VVI1", the block's whole size as a 32-bit
// little-endian number, then pairs of NUL-terminated UTF-8 strings (a query
// path such as "\StringFileInfo\041904E3\CompanyName", then its value), ended
// by an empty path.

#include <cstdint>

namespace vorta {

inline constexpr char kVersionSection[] = ".vorta_version";
inline constexpr char kVersionMagic[4] = {'V', 'V', 'I', '1'};
inline constexpr std::uint32_t kVersionHeaderSize = 8;

// Size of the file's version block in bytes, 0 when it has none (or the
// file cannot be read). *handle is always set to 0.
std::uint32_t GetFileVersionInfoSizeA(const char* fileName, std::uint32_t* handle);

// Copies the version block into data (len bytes available). False when the
// file has no block or len is too small.
bool GetFileVersionInfoA(const char* fileName, std::uint32_t handle, std::uint32_t len, void* data);

// Finds the value at subBlock in a block filled by GetFileVersionInfoA:
// *buffer points at the NUL-terminated value inside the block, *len is its
// length in characters including the NUL. False for a path the block does not
// hold or a block that is not well formed.
bool VerQueryValueA(const void* block, const char* subBlock, void** buffer, std::uint32_t* len);

}  // namespace vorta
