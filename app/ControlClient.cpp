#include "app/ControlClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QProcessEnvironment>
#include <cstdio>

#include "app/ControlCommands.h"
#include "app/DefaultFolder.h"
#include "platform/ControlSocket.h"

namespace vorta {

namespace {

// Completion must answer at once: a copy that does not, completes nothing of its own.
constexpr int kCompletionMs = 1500;

void Write(FILE* to, const QByteArray& bytes) {
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), to);
  if (!bytes.endsWith('\n')) std::fputc('\n', to);
}

// Prints the reply the way it was asked for; returns its exit code.
int Answer(const QStringList& command, const TControlReply& reply, bool json) {
  if (json) {
    // The whole answer on the standard output, errors included: a script reads one place.
    Write(stdout, ControlJson(command, reply));
  } else {
    Write(reply.Exit == 0 ? stdout : stderr, reply.Out.toLocal8Bit());
  }
  return reply.Exit;
}

QString Usage() {
  return QStringLiteral("vorta ctl [--folder DIR | --instance NAME] [--json] COMMAND ...\n") +
         ControlUsage();
}

}  // namespace

int RunControlClient(int argc, char** argv) {
  const QCoreApplication app(argc, argv);
  QStringList words = QCoreApplication::arguments().mid(2);
  QString folder;
  QString instance;
  bool json = false;
  QStringList command;
  QString problem;
  for (qsizetype i = 0; i < words.size() && problem.isEmpty(); ++i) {
    const QString& w = words[i];
    const auto value = [&](const QString& option, QString* into) {
      *into =
          w == option ? (i + 1 < words.size() ? words[++i] : QString()) : w.mid(option.size() + 1);
      if (into->isEmpty()) problem = option + QStringLiteral(" needs a value");
    };
    if (w == QLatin1String("--json")) {
      json = true;
    } else if (w == QLatin1String("--folder") || w.startsWith(QLatin1String("--folder="))) {
      value(QStringLiteral("--folder"), &folder);
    } else if (w == QLatin1String("--instance") || w.startsWith(QLatin1String("--instance="))) {
      value(QStringLiteral("--instance"), &instance);
    } else if ((w == QLatin1String("--help") || w == QLatin1String("-h")) && command.isEmpty()) {
      Write(stdout, Usage().toLocal8Bit());
      return 0;
    } else if (w.startsWith(QLatin1String("--")) && command.isEmpty()) {
      problem = QStringLiteral("unknown option ") + w;
    } else {
      command << w;
    }
  }
  if (problem.isEmpty() && !folder.isEmpty() && !instance.isEmpty()) {
    problem = QStringLiteral("--folder and --instance name the same thing; give one");
  }
  // A name of a folder directly under the root, never a way out of it.
  if (problem.isEmpty() && !instance.isEmpty() &&
      (instance.contains(u'/') || instance == QLatin1String(".") ||
       instance == QLatin1String(".."))) {
    problem = QStringLiteral("--instance takes a name, not a path: ") + instance;
  }
  // A mistyped command is told as one, whether a copy runs or not.
  if (problem.isEmpty()) {
    if (const auto p = ControlCommandProblem(command)) problem = *p;
  }
  if (!problem.isEmpty()) {
    TControlReply reply{kControlUsage, QStringLiteral("vorta ctl: ") + problem + u'\n' + Usage()};
    return Answer(command, reply, json);
  }
  if (!instance.isEmpty()) {
    folder = QDir(kInstanceRoot).filePath(instance);
  } else if (folder.isEmpty()) {
    folder = DefaultProgramFolder(QCoreApplication::applicationDirPath(),
                                  QProcessEnvironment::systemEnvironment());
  }
  // A plan's file is named from where the caller stands, not the program.
  if (command.size() >= 3 && command[0].compare(QLatin1String("plan"), Qt::CaseInsensitive) == 0) {
    const QString sub = command[1].toLower();
    if (sub == QLatin1String("check")) command[2] = QDir::current().absoluteFilePath(command[2]);
    if (sub == QLatin1String("start") && command.size() >= 4)
      command[3] = QDir::current().absoluteFilePath(command[3]);
  }
  const bool completing = command[0].compare(QLatin1String("complete"), Qt::CaseInsensitive) == 0;
  TControlReply reply =
      SendControlCommand(folder, command, json, completing ? kCompletionMs : 10'000);
  if (completing && reply.Exit != 0) {
    // No copy to ask: what does not depend on it still completes.
    const QStringList words = ControlCompletions(command.mid(1), {});
    reply = {0, words.join(u'\n'), QJsonArray::fromStringList(words)};
  }
  return Answer(command, reply, json);
}

}  // namespace vorta
