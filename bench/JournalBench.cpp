// One journal record: formatted, chained, appended and flushed, with the
// file's read-only attribute cleared and set again around the write.

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <cstdio>

#include "platform/VirtualTimerService.h"
#include "journal/Journal.h"
#include "journal/JournalVerify.h"

namespace vorta {
namespace {

void BM_JournalChange(benchmark::State& state) {
  QTemporaryDir dir;
  TVirtualTimerService time;
  TJournal journal(dir.filePath(QStringLiteral("VortaJournal.txt")), time);
  if (!journal.Open()) state.SkipWithError("journal not opened");
  int n = 0;
  for (auto _ : state) {
    journal.Change(3, QStringLiteral("Ферментёр 3"), QStringLiteral("[pH] #1 Уставка"),
                   QString::number(n), QString::number(n + 1), TJournalSource::Dialog);
    ++n;
  }
  if (VerifyJournal(journal.Path()).Status != TJournalCheck::TStatus::Ok) {
    state.SkipWithError("the chain does not verify");
  }
}
BENCHMARK(BM_JournalChange)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vorta

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("target: one journal record well under 1000 us\n");
  return 0;
}
