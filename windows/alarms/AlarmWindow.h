#pragma once
// The alarm window ("Тревоги"): active and recent alarms of every vessel,
// newest first, one line each, and "Квитировать" for the selected one or all. It only shows
// the engine's list (journal/Alarms.h) and passes acknowledgements on.

#include <QWidget>
#include <cstdint>

class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

namespace vorta {

class TAlarms;

class TAlarmWindow final : public QWidget {
  Q_OBJECT

 public:
  TAlarmWindow(TAlarms& alarms, QWidget* parent);
  ~TAlarmWindow() override;

  // The program's one window, raised if it is open already.
  static TAlarmWindow* Open(TAlarms& alarms, QWidget* near);

  // Redraws when the list changed since the last call.
  void Refresh();
  void AcknowledgeSelected();
  void AcknowledgeAll();

  [[nodiscard]] QTableWidget* Table() const { return table_; }
  [[nodiscard]] QPushButton* AcknowledgeButton() const { return ack_; }
  [[nodiscard]] QPushButton* AcknowledgeAllButton() const { return ackAll_; }

 private:
  TAlarms& alarms_;
  QTableWidget* table_ = nullptr;
  QPushButton* ack_ = nullptr;
  QPushButton* ackAll_ = nullptr;
  QLabel* hint_ = nullptr;  // what to do when "Квитировать" had nothing chosen
  QTimer* timer_ = nullptr;
  std::uint64_t shownRevision_ = ~std::uint64_t{0};
};

}  // namespace vorta
