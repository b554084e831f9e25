#pragma once
// The vessel's run plan on the screen: every step in file order with the
// current one marked, the time to the next, and the setpoints the operator
// changed by hand (which the plan obeys). Refreshed with the 2-s cycle.

#include <QString>
#include <QWidget>
#include <functional>

class QLabel;
class QListWidget;
class QTimer;

namespace vorta {

class TPlanHost;
class TVortaProcess;

class TPlanWindow : public QWidget {
  Q_OBJECT
 public:
  TPlanWindow(TPlanHost& host, const TVortaProcess& p, QWidget* parent = nullptr);

  // Shows what the plan is doing now.
  void Refresh();

  // The program's plans, set once at start-up; the panel's menu opens the
  // window only when they are there.
  static TPlanHost* Host;
  // A new window, shown; null without a plan host.
  static TPlanWindow* Open(const TVortaProcess& p, QWidget* panel);

  [[nodiscard]] QListWidget* Steps() const { return steps_; }
  [[nodiscard]] QLabel* Header() const { return header_; }

 private:
  TPlanHost& host_;
  const TVortaProcess& p_;
  QLabel* header_;
  QListWidget* steps_;
  QTimer* timer_;
  QString shownPlan_;  // the file and digest of the plan whose steps are listed
};

}  // namespace vorta
