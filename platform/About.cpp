#include <vector>

#include "platform/About.h"
#include "platform/VersionInfo.h"

namespace vorta {

namespace {

struct TVersionField {
  const char* Key;
  const char* Display;
};

constexpr TVersionField kFields[] = {
    {"CompanyName", "Компания"},
    {"FileDescription", "Файл"},
    {"FileVersion", "Версия файла"},
    {"InternalName", "Внутреннее имя"},
    {"LegalCopyright", "Права"},
    {"LegalTradeMarks", "Торговые марки"},
    {"OriginalFileName", "OriginalFileName"},
    {"ProductName", "Продукт"},
    {"ProductVersion", "Версия продукта"},
    {"Comments", "Комментарии"},
};

// Russian, code page 1251: the language the block is written for.
constexpr char kStringTable[] = R"(\StringFileInfo\041904E3\)";

}  // namespace

QStringList AboutVersionLines(const QString& fileName) {
  const QByteArray name = fileName.toLocal8Bit();
  std::uint32_t handle = 0;
  const std::uint32_t size = GetFileVersionInfoSizeA(name.constData(), &handle);
  std::vector<char> block(size);
  if (size == 0 || !GetFileVersionInfoA(name.constData(), handle, size, block.data())) {
    return {QString::fromLatin1(kNoVersionInfo)};
  }
  QStringList lines;
  for (const TVersionField& field : kFields) {
    const QByteArray path = QByteArray(kStringTable) + field.Key;
    void* value = nullptr;
    std::uint32_t len = 0;
    if (!VerQueryValueA(block.data(), path.constData(), &value, &len) || len <= 1) continue;
    const QString text = QString::fromUtf8(static_cast<const char*>(value));
    if (text.isEmpty()) continue;
    lines << QString::fromUtf8(field.Display) + QStringLiteral(": ") + text;
  }
  return lines;
}

}  // namespace vorta
