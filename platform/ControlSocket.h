#pragma once
// Operating a running copy from another process: a Unix socket inside the
// program folder, open to the folder's group and nobody else. One request a
// connection: the command's words as JSON, one JSON reply (exit code and
// text), then the server closes.

#include <sys/types.h>

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace vorta {

// The socket's name in the program folder.
inline const QString kControlSocketName = QStringLiteral("Vorta.ctl");

// Exit codes of the command-line client.
inline constexpr int kControlRefused = 1;    // the running copy refused the command
inline constexpr int kControlUsage = 64;     // unknown command or wrong words
inline constexpr int kControlNoCopy = 69;    // no running copy answers on the folder
inline constexpr int kControlNoAccess = 77;  // the caller may not operate this copy

struct TControlRequest {
  QStringList Args;  // the command and its words
  bool Json = false;
  uid_t Uid = 0;  // the caller, from the socket's peer credentials
  QString User;
};

struct TControlReply {
  int Exit = 0;
  QString Out;
};

class TControlServer final : public QObject {
  Q_OBJECT
 public:
  using THandler = std::function<TControlReply(const TControlRequest&)>;

  TControlServer(QString folder, THandler handler);
  ~TControlServer() override;

  // Listens on the folder's socket, mode 0660 and owned by the folder's
  // group. A socket file left by a killed copy is replaced: the caller holds
  // the folder's lock, so no other copy listens there. False, with *error,
  // when it cannot listen.
  bool Listen(QString* error);

 private:
  void Serve(QLocalSocket* socket);

  QString folder_;
  QString path_;
  THandler handler_;
  std::unique_ptr<QLocalServer> server_;
};

// The client: sends the words to the copy running on `folder` and returns
// its reply; a copy that cannot be reached gives kControlNoCopy or
// kControlNoAccess with the reason in Out.
TControlReply SendControlCommand(const QString& folder, const QStringList& args, bool json,
                                 int timeoutMs = 10'000);

// Whether the user may operate a copy whose folder belongs to `folderGid`:
// root, the copy's own user, and the members of the folder's group.
bool MayOperate(uid_t uid, gid_t folderGid);

}  // namespace vorta
