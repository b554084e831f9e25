#include <QCoreApplication>
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
    {"CompanyName", QT_TRANSLATE_NOOP("vorta::AboutVersion", "Компания")},
    {"FileDescription", QT_TRANSLATE_NOOP("vorta::AboutVersion", "Файл")},
    {"FileVersion", QT_TRANSLATE_NOOP("vorta::AboutVersion", "Версия файла")},
    {"InternalName", QT_TRANSLATE_NOOP("vorta::AboutVersion", "Внутреннее имя")},
    {"LegalCopyright", QT_TRANSLATE_NOOP("vorta::AboutVersion", "Права")},
    {"LegalTradeMarks", QT_TRANSLATE_NOOP("vorta::AboutVersion", "Торговые марки")},
    {"OriginalFileName", "OriginalFileName"},
    {"ProductName", QT_TRANSLATE_NOOP("vorta::AboutVersion", "Продукт")},
    {"ProductVersion", QT_TRANSLATE_NOOP("vorta::AboutVersion", "Версия продукта")},
    {"Comments", QT_TRANSLATE_NOOP("vorta::AboutVersion", "Комментарии")},
};

// The block's own texts (VersionInfoBlock.cpp.in) as the About window shows
// them in English; the block itself stays as written.
[[maybe_unused]] const char* const kBlockTexts[] = {
    QT_TRANSLATE_NOOP("vorta::AboutVersion", "Лаборатория Vorta"),
    QT_TRANSLATE_NOOP("vorta::AboutVersion", "© Лаборатория Vorta"),
    QT_TRANSLATE_NOOP("vorta::AboutVersion", "Vorta2: управление лабораторными ферментерами"),
    QT_TRANSLATE_NOOP("vorta::AboutVersion", "Сборка %1")};

QString ShownValue(const QString& text) {
  static const QString build = QStringLiteral("Сборка ");
  if (text.startsWith(build)) {
    return QCoreApplication::translate("vorta::AboutVersion", "Сборка %1")
        .arg(text.mid(build.size()));
  }
  return QCoreApplication::translate("vorta::AboutVersion", text.toUtf8().constData());
}

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
    lines << QCoreApplication::translate("vorta::AboutVersion", field.Display) +
                 QStringLiteral(": ") + ShownValue(text);
  }
  return lines;
}

}  // namespace vorta
