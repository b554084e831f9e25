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
  // key: names the instance (derived from the program folder); empty when no
  // place private to the user could be found, and then problem says why.
  explicit TSingleInstance(QString key, QString problem = {});
  ~TSingleInstance() override;

  // The instance for a program folder (see KeyForFolder); toListen false: to
  // ask a running copy only, which makes no folder.
  static std::unique_ptr<TSingleInstance> ForFolder(const QString& folder, bool toListen = true);

  // True when another copy of the same user answered and was asked to come
  // to the front. A socket held by another user's program is not a copy:
  // false, and Problem() says so.
  bool AskRunningCopyToRaise();
  // Starts listening; false when the socket could not be made.
  bool Listen();
  // Why this copy could not rule out a running one (empty when it could),
  // for the operator; the program runs on all the same.
  [[nodiscard]] const QString& Problem() const { return problem_; }

  // Called on the main thread when a later copy asks this one to raise.
  std::function<void()> OnRaiseRequest;

  // The socket name used for a folder, keyed on its canonical path (a folder
  // reached through a symbolic link is the same folder). It lives in
  // XDG_RUNTIME_DIR when set (tests use it to isolate themselves), otherwise
  // in a folder of the temporary folder made private to the user; empty, with
  // *problem set, when that folder is not the user's own (or, without
  // `create`, is not there).
  static QString KeyForFolder(const QString& folder, QString* problem = nullptr,
                              bool create = true);

 private:
  QString key_;
  QString problem_;
  std::unique_ptr<QLocalServer> server_;
};

}  // namespace vorta
