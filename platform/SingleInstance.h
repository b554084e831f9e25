#pragma once
// One controller per user and program folder. The first copy listens on a
// local socket private to the user; a second copy asks it to raise its main
// window and then ends.

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace vorta {

class TSingleInstance final : public QObject {
  Q_OBJECT
 public:
  // key: names the instance (derived from the program folder).
  explicit TSingleInstance(QString key);
  ~TSingleInstance() override;

  // True when another copy answered and was asked to come to the front.
  bool AskRunningCopyToRaise();
  // Starts listening; false when the socket could not be made.
  bool Listen();

  // Called on the main thread when a later copy asks this one to raise.
  std::function<void()> OnRaiseRequest;

  // The socket name used for a folder; the runtime folder can be set by
  // XDG_RUNTIME_DIR, which tests use to isolate themselves.
  static QString KeyForFolder(const QString& folder);

 private:
  QString key_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace vorta
