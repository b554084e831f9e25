#include "platform/VersionInfo.h"

#include <elf.h>

#include <QFile>
#include <cstring>
#include <optional>

namespace vorta {

namespace {

struct TSectionPlace {
  std::uint64_t Offset = 0;
  std::uint64_t Size = 0;
};

template <typename T>
bool ReadAt(QFile& f, std::uint64_t offset, T& out) {
  if (!f.seek(static_cast<qint64>(offset))) return false;
  return f.read(reinterpret_cast<char*>(&out), sizeof(T)) == static_cast<qint64>(sizeof(T));
}

// Where the version section lies in a 64-bit little-endian ELF file. Only the
// section table is read: the executable may be tens of megabytes with its
// debug information.
std::optional<TSectionPlace> FindVersionSection(const char* fileName) {
  if (fileName == nullptr) return std::nullopt;
  QFile f(QString::fromLocal8Bit(fileName));
  if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
  const auto fileSize = static_cast<std::uint64_t>(f.size());
  Elf64_Ehdr eh{};
  if (!ReadAt(f, 0, eh)) return std::nullopt;
  if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_ident[EI_CLASS] != ELFCLASS64 ||
      eh.e_ident[EI_DATA] != ELFDATA2LSB || eh.e_shentsize != sizeof(Elf64_Shdr) ||
      eh.e_shnum == 0 || eh.e_shstrndx >= eh.e_shnum) {
    return std::nullopt;
  }
  if (eh.e_shoff > fileSize || eh.e_shnum * sizeof(Elf64_Shdr) > fileSize - eh.e_shoff) {
    return std::nullopt;
  }
  Elf64_Shdr names{};
  if (!ReadAt(f, eh.e_shoff + eh.e_shstrndx * sizeof(Elf64_Shdr), names)) return std::nullopt;
  constexpr std::size_t kNameLen = sizeof(kVersionSection);  // with the NUL
  for (std::uint16_t i = 0; i < eh.e_shnum; ++i) {
    Elf64_Shdr sh{};
    if (!ReadAt(f, eh.e_shoff + i * sizeof(Elf64_Shdr), sh)) return std::nullopt;
    if (sh.sh_name >= names.sh_size || names.sh_size - sh.sh_name < kNameLen) continue;
    char name[kNameLen] = {};
    const std::uint64_t nameAt = names.sh_offset + sh.sh_name;
    if (!f.seek(static_cast<qint64>(nameAt)) ||
        f.read(name, kNameLen) != static_cast<qint64>(kNameLen)) {
      continue;
    }
    if (std::memcmp(name, kVersionSection, kNameLen) != 0) continue;
    if (sh.sh_type == SHT_NOBITS || sh.sh_offset > fileSize ||
        sh.sh_size > fileSize - sh.sh_offset || sh.sh_size < kVersionHeaderSize ||
        sh.sh_size > 0xFFFFFFFFULL) {
      return std::nullopt;
    }
    return TSectionPlace{sh.sh_offset, sh.sh_size};
  }
  return std::nullopt;
}

std::uint32_t ReadU32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Length of the NUL-terminated string at p within end, or nullopt when it
// runs off the block.
std::optional<std::size_t> BoundedLength(const char* p, const char* end) {
  const void* nul = std::memchr(p, 0, static_cast<std::size_t>(end - p));
  if (nul == nullptr) return std::nullopt;
  return static_cast<std::size_t>(static_cast<const char*>(nul) - p);
}

}  // namespace

std::uint32_t GetFileVersionInfoSizeA(const char* fileName, std::uint32_t* handle) {
  if (handle != nullptr) *handle = 0;
  const auto place = FindVersionSection(fileName);
  return place ? static_cast<std::uint32_t>(place->Size) : 0;
}

bool GetFileVersionInfoA(const char* fileName, std::uint32_t /*handle*/, std::uint32_t len,
                         void* data) {
  const auto place = FindVersionSection(fileName);
  if (!place || data == nullptr || len < place->Size) return false;
  QFile f(QString::fromLocal8Bit(fileName));
  if (!f.open(QIODevice::ReadOnly) || !f.seek(static_cast<qint64>(place->Offset))) return false;
  const auto size = static_cast<qint64>(place->Size);
  if (f.read(static_cast<char*>(data), size) != size) return false;
  // The block's own size is what VerQueryValueA trusts: it must lie inside
  // what was copied.
  const auto* bytes = static_cast<const unsigned char*>(data);
  return std::memcmp(bytes, kVersionMagic, sizeof(kVersionMagic)) == 0 &&
         ReadU32(bytes + 4) >= kVersionHeaderSize && ReadU32(bytes + 4) <= place->Size;
}

bool VerQueryValueA(const void* block, const char* subBlock, void** buffer, std::uint32_t* len) {
  if (block == nullptr || subBlock == nullptr || buffer == nullptr || len == nullptr) return false;
  const auto* bytes = static_cast<const unsigned char*>(block);
  if (std::memcmp(bytes, kVersionMagic, sizeof(kVersionMagic)) != 0) return false;
  const std::uint32_t size = ReadU32(bytes + 4);
  if (size < kVersionHeaderSize) return false;
  const char* p = reinterpret_cast<const char*>(bytes) + kVersionHeaderSize;
  const char* end = reinterpret_cast<const char*>(bytes) + size;
  while (p < end) {
    const auto keyLen = BoundedLength(p, end);
    if (!keyLen || *keyLen == 0) return false;  // torn block or the end mark
    const char* value = p + *keyLen + 1;
    if (value >= end) return false;
    const auto valueLen = BoundedLength(value, end);
    if (!valueLen) return false;
    if (std::strcmp(p, subBlock) == 0) {
      *buffer = const_cast<char*>(value);
      *len = static_cast<std::uint32_t>(*valueLen + 1);
      return true;
    }
    p = value + *valueLen + 1;
  }
  return false;
}

}  // namespace vorta
