#pragma once
// A real broker for the tests: the system's mosquitto on a free loopback
// port with a configuration of the test's own, and a subscriber that keeps
// every message it receives.

#include <gtest/gtest.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

namespace vorta::test {

inline QString MosquittoBinary() {
  QString path = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
  if (path.isEmpty()) {
    path = QStandardPaths::findExecutable(QStringLiteral("mosquitto"),
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
  }
  return path;
}

// Polls until the condition holds or the time is up.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!condition()) {
    if (t.elapsed() > timeoutMs) return false;
    QThread::msleep(10);
  }
  return true;
}

inline bool RunTool(const QString& program, const QStringList& args, const QString& dir) {
  QProcess p;
  p.setWorkingDirectory(dir);
  p.start(program, args);
  return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

class TBroker {
 public:
  TBroker() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    Port = probe.serverPort();
  }
  ~TBroker() { Stop(); }

  [[nodiscard]] QString File(const QString& name) const { return dir_.filePath(name); }

  // extra: configuration lines of the listener (TLS, passwords).
  void Start(const QByteArray& extra = {}) {
    QFile conf(File(QStringLiteral("mosquitto.conf")));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly | QIODevice::Truncate));
    // Kept sessions survive a restart, so a subscriber misses nothing
    // published while it reconnects.
    conf.write("user root\nlog_dest none\npersistence true\npersistence_location " +
               dir_.path().toUtf8() + "/\nlistener " + QByteArray::number(Port) + " 127.0.0.1\n" +
               (extra.isEmpty() ? QByteArray("allow_anonymous true\n") : extra));
    conf.close();
    process_.start(MosquittoBinary(), {QStringLiteral("-c"), conf.fileName()});
    ASSERT_TRUE(process_.waitForStarted(5000));
    ASSERT_TRUE(WaitUntil([this] { return Accepts(Port); }, 5000))
        << "mosquitto did not open port " << Port;
  }
  void Stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) process_.kill();
    process_.waitForFinished(2000);
  }

  quint16 Port = 0;

  static bool Accepts(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
  }

 private:
  QTemporaryDir dir_;
  QProcess process_;
};

struct TReceived {
  QString Topic;
  QByteArray Payload;
  bool Retained = false;
};

class TSubscriber {
 public:
  // A kept session (clean=false): what arrives while it is away is queued.
  TSubscriber(quint16 port, const QString& filter, const char* id = "vorta-test-sub")
      : filter_(filter.toUtf8()) {
    mosquitto_lib_init();
    mosq_ = mosquitto_new(id, false, this);
    mosquitto_message_callback_set(mosq_, [](mosquitto*, void* self, const mosquitto_message* m) {
      auto* s = static_cast<TSubscriber*>(self);
      const std::lock_guard lock(s->mutex_);
      s->messages_.push_back({QString::fromUtf8(m->topic),
                              QByteArray(static_cast<const char*>(m->payload), m->payloadlen),
                              m->retain});
    });
    mosquitto_connect_callback_set(mosq_, [](mosquitto* m, void* self, int rc) {
      if (rc == 0) {
        mosquitto_subscribe(m, nullptr, static_cast<TSubscriber*>(self)->filter_.constData(), 1);
      }
    });
    mosquitto_subscribe_callback_set(mosq_, [](mosquitto*, void* self, int, int, const int*) {
      static_cast<TSubscriber*>(self)->subscribed_ = true;
    });
    mosquitto_connect(mosq_, "127.0.0.1", port, 30);
    mosquitto_loop_start(mosq_);
    // Nothing published from here on is missed.
    EXPECT_TRUE(WaitUntil([this] { return subscribed_.load(); }, 5000));
  }
  ~TSubscriber() {
    mosquitto_disconnect(mosq_);
    mosquitto_loop_stop(mosq_, false);
    mosquitto_destroy(mosq_);
  }

  std::vector<TReceived> Messages() {
    const std::lock_guard lock(mutex_);
    return messages_;
  }
  // The payload of the last message on the topic, or nothing.
  bool WaitFor(const QString& topic, const QByteArray& payload, int timeoutMs = 5000) {
    return WaitUntil(
        [&] {
          for (const TReceived& m : Messages()) {
            if (m.Topic == topic && (payload.isNull() || m.Payload == payload)) return true;
          }
          return false;
        },
        timeoutMs);
  }

 private:
  QByteArray filter_;
  mosquitto* mosq_ = nullptr;
  std::atomic<bool> subscribed_{false};
  std::mutex mutex_;
  std::vector<TReceived> messages_;
};

}  // namespace vorta::test

#define VORTA_REQUIRE_BROKER()                                                            \
  if (vorta::test::MosquittoBinary().isEmpty()) {                                         \
    GTEST_SKIP() << "mosquitto (the broker) is not installed: apt-get install mosquitto"; \
  }
