#pragma once
// Operating a running copy from another process: a Unix socket inside the
// program folder, open to the folder's group and nobody else. One request a
// connection: the command's words as JSON, one JSON reply (exit code and
// text), then the server closes. No caller can take the socket away from the
// others: connections are bounded in all and per user, a request must come
// whole within a few seconds, and the listener survives running out of
// descriptors.

#include <sys/types.h>

#include <QJsonValue>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QElapsedTimer;
class QLocalSocket;
class QSocketNotifier;

namespace vorta {

// The socket's name in the program folder.
inline const QString kControlSocketName = QStringLiteral("Vorta.ctl");

// The request and reply's form; a copy tells it in `vorta ctl version`.
inline constexpr int kControlProtocolVersion = 2;

// Exit codes of the command-line client.
inline constexpr int kControlRefused = 1;     // the running copy refused the command
inline constexpr int kControlUsage = 64;      // unknown command or wrong words
inline constexpr int kControlNoCopy = 69;     // no running copy answers on the folder
inline constexpr int kControlBusy = 75;       // the copy takes no more connections now
inline constexpr int kControlUntrusted = 76;  // the socket is served by someone else
inline constexpr int kControlNoAccess = 77;   // the caller may not operate this copy

// Connections the server holds at once, in all and per calling user, and the
// time a caller has to send its whole request.
inline constexpr int kControlMaxConnections = 32;
inline constexpr int kControlMaxPerUser = 8;
inline constexpr int kControlRequestMs = 5000;

struct TControlTexts;

struct TControlRequest {
  QStringList Args;  // the command and its words
  bool Json = false;
  uid_t Uid = 0;  // the caller, from the socket's peer credentials
  QString User;
};

struct TControlReply {
  TControlReply() = default;
  TControlReply(int exit, QString out, QJsonValue data = {}, QString time = {})
      : Exit(exit), Out(std::move(out)), Data(std::move(data)), Time(std::move(time)) {}

  int Exit = 0;
  QString Out;  // what the caller reads: the answer, or why not
  // The answer as data for --json (null for none), and when it was given
  // (local time with its offset; empty: the client stamps its own).
  QJsonValue Data;
  QString Time;
};

class TControlServer final : public QObject {
  Q_OBJECT
 public:
  using THandler = std::function<TControlReply(const TControlRequest&)>;

  TControlServer(QString folder, THandler handler);
  ~TControlServer() override;

  // Listens on the folder's socket, mode 0660 and owned by the folder's
  // group. The socket is made in a directory of its own and renamed into
  // place, so no one else's link is followed. A socket file left by a killed
  // copy is replaced: the caller holds the folder's lock, so no other copy
  // listens there. False, with *error, when it cannot listen.
  bool Listen(QString* error);
  // What a successful Listen could not do (the folder's group not given).
  [[nodiscard]] const QString& Note() const { return note_; }

  // An overload (connections refused, descriptors run out), told once per
  // episode: an episode ends after a minute without a refusal. The text in
  // the operator's language and as the journal keeps it.
  std::function<void(const QString& shown, const QString& recorded)> OnOverload;

  [[nodiscard]] int Connections() const { return static_cast<int>(peers_.size()); }

 private:
  void RemoveLeftPrivateDirectories();
  void AcceptAll();
  void Refuse(int fd, const TControlTexts& why);
  void Serve(QLocalSocket* socket, uid_t uid);

  QString folder_;
  QString note_;
  THandler handler_;
  int folderFd_ = -1;
  int listenFd_ = -1;
  int spareFd_ = -1;  // given up for a moment when the descriptors run out
  dev_t socketDev_ = 0;
  ino_t socketIno_ = 0;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::vector<std::pair<QLocalSocket*, uid_t>> peers_;
  bool overloadTold_ = false;
  qint64 lastRefusalMs_ = 0;
  std::unique_ptr<QElapsedTimer> clock_;
};

// The client: sends the words to the copy running on `folder` and returns
// its reply; a copy that cannot be reached gives kControlNoCopy or
// kControlNoAccess with the reason in Out. A socket served by anyone but the
// folder's owner or root is not believed (kControlUntrusted): nothing is sent.
TControlReply SendControlCommand(const QString& folder, const QStringList& args, bool json,
                                 int timeoutMs = 10'000);

// Whether the user may operate a copy whose folder belongs to `folderGid`:
// root, the copy's own user, and the members of the folder's group.
bool MayOperate(uid_t uid, gid_t folderGid);

}  // namespace vorta
