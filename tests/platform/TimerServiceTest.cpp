#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/VirtualTimerService.h"

using namespace vorta;

TEST(TVirtualTimer, firesInDueOrderTiesInCreationOrder) {
  TVirtualTimerService time;
  std::vector<std::string> log;
  auto a = time.CreateTimer(40);
  auto b = time.CreateTimer(20);
  auto c = time.CreateTimer(40);
  a->OnTimer = [&] { log.push_back("a" + std::to_string(time.ElapsedMs())); };
  b->OnTimer = [&] { log.push_back("b" + std::to_string(time.ElapsedMs())); };
  c->OnTimer = [&] { log.push_back("c" + std::to_string(time.ElapsedMs())); };
  c->SetEnabled(true);
  a->SetEnabled(true);
  b->SetEnabled(true);
  time.AdvanceBy(80);
  EXPECT_EQ(log,
            (std::vector<std::string>{"b20", "a40", "b40", "c40", "b60", "a80", "b80", "c80"}));
}

TEST(TVirtualTimer, disabledTimerNeverFiresAndNowFollowsTheClock) {
  TVirtualTimerService time(100.0);
  auto t = time.CreateTimer(10);
  int n = 0;
  t->OnTimer = [&] { ++n; };
  time.AdvanceBy(1000);
  EXPECT_EQ(n, 0);
  EXPECT_DOUBLE_EQ(time.Now(), 100.0 + 1.0 / 86400.0);
  EXPECT_EQ(time.GetTickCount(), 1000U);
}

TEST(TVirtualTimer, handlerDisablingAnotherTimerDueAtTheSameTimeStopsIt) {
  TVirtualTimerService time;
  auto first = time.CreateTimer(100);
  auto second = time.CreateTimer(100);
  int secondFired = 0;
  first->OnTimer = [&] { second->SetEnabled(false); };
  second->OnTimer = [&] { ++secondFired; };
  first->SetEnabled(true);
  second->SetEnabled(true);
  time.AdvanceBy(500);
  EXPECT_EQ(secondFired, 0);
}

TEST(TVirtualTimer, handlerDisablingItselfFiresOnce) {
  TVirtualTimerService time;
  auto t = time.CreateTimer(10);
  int n = 0;
  t->OnTimer = [&] {
    ++n;
    t->SetEnabled(false);
  };
  t->SetEnabled(true);
  time.AdvanceBy(100);
  EXPECT_EQ(n, 1);
}

TEST(TVirtualTimer, changingAnotherTimersIntervalRestartsItsPeriod) {
  TVirtualTimerService time;
  auto changer = time.CreateTimer(30);
  auto target = time.CreateTimer(50);
  std::vector<std::int64_t> fired;
  changer->OnTimer = [&] {
    target->SetInterval(100);
    changer->SetEnabled(false);
  };
  target->OnTimer = [&] { fired.push_back(time.ElapsedMs()); };
  changer->SetEnabled(true);
  target->SetEnabled(true);
  time.AdvanceBy(250);
  EXPECT_EQ(fired, (std::vector<std::int64_t>{130, 230}));
}

TEST(TVirtualTimer, waitInsideAHandlerRunsOtherTimersButNotItself) {
  TVirtualTimerService time;
  auto slow = time.CreateTimer(100);
  auto fast = time.CreateTimer(40);
  int slowRuns = 0;
  int fastRuns = 0;
  slow->OnTimer = [&] {
    ++slowRuns;
    WaitMs(time, 500);  // longer than its own period
  };
  fast->OnTimer = [&] { ++fastRuns; };
  slow->SetEnabled(true);
  fast->SetEnabled(true);
  time.AdvanceBy(100);
  EXPECT_EQ(slowRuns, 1);
  EXPECT_GE(time.ElapsedMs(), 601);
  EXPECT_GE(fastRuns, 14);  // 40-ms events went on during the wait
}

TEST(TVirtualTimer, waitMsWaitsMoreThanItsArgument) {
  TVirtualTimerService time;
  WaitMs(time, 500);
  EXPECT_EQ(time.ElapsedMs(), 501);
}

TEST(TVirtualTimer, destroyedTimerIsForgotten) {
  TVirtualTimerService time;
  int n = 0;
  {
    auto t = time.CreateTimer(10);
    t->OnTimer = [&] { ++n; };
    t->SetEnabled(true);
    time.AdvanceBy(10);
  }
  time.AdvanceBy(100);
  EXPECT_EQ(n, 1);
}
