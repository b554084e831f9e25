#pragma once
// What the engine writes into the status window and shows on the
// calibration dialog. The windows implement these while they are open; the
// headless versions keep what they were given.

#include <QString>
#include <QStringList>
#include <cstdint>

namespace vorta {

class IStatusSink {
 public:
  virtual ~IStatusSink() = default;
  virtual void AppendLine(const QString& text) = 0;
  // Replaces the first line (adds it when the text is empty).
  virtual void ReplaceFirstLine(const QString& text) = 0;
};

class THeadlessStatusSink final : public IStatusSink {
 public:
  void AppendLine(const QString& text) override { Lines << text; }
  void ReplaceFirstLine(const QString& text) override {
    if (Lines.isEmpty()) {
      Lines << text;
    } else {
      Lines[0] = text;
    }
  }
  QStringList Lines;
};

class ICalibView {
 public:
  virtual ~ICalibView() = default;
  // 1 when "1 Точка" is selected, 2 for "2 Точка", 0 for neither.
  [[nodiscard]] virtual int SelectedPoint() const = 0;
  virtual void SetPoint1Color(std::int32_t color) = 0;
  virtual void SetPoint2Color(std::int32_t color) = 0;
  virtual void SetCodeLabels(const QString& point1, const QString& point2) = 0;
};

class THeadlessCalibView final : public ICalibView {
 public:
  [[nodiscard]] int SelectedPoint() const override { return Selected; }
  void SetPoint1Color(std::int32_t color) override { Point1Color = color; }
  void SetPoint2Color(std::int32_t color) override { Point2Color = color; }
  void SetCodeLabels(const QString& point1, const QString& point2) override {
    Code1 = point1;
    Code2 = point2;
  }
  int Selected = 1;
  std::int32_t Point1Color = -1;
  std::int32_t Point2Color = -1;
  QString Code1, Code2;
};

}  // namespace vorta
