#include "app/core/UpdatePolicy.h"
#include "app/core/Settings.h"
#include "platform/registry/MemoryRegistry.h"

#include <gtest/gtest.h>

using namespace bw;

namespace {

const DateTime Noon = DateTime::Create(2026, 3, 10, 12, 0, 0);

struct Policy {
  MemoryRegistryStore Store;
  int Questions = 0, Checks = 0;
  bool Answer = true;
  DateTime Now = Noon;
  std::function<void()> DuringCheck;

  TUpdateCheckHost Host() {
    TUpdateCheckHost h;
    h.AskAutoUpdate = [this] {
      ++Questions;
      return Answer;
    };
    h.CheckUpdate = [this] {
      ++Checks;
      if (DuringCheck) DuringCheck();
    };
    h.Now = [this] { return Now; };
    return h;
  }
  void Start() { AutoCheckForUpdates(Store, Host()); }
  TSettings Settings() { return TSettings(Store); }
  void SetLastCheck(DateTime t) {
    TSettings s(Store);
    s.LastUpdateCheck = t;
    s.Save();
  }
};

} // namespace

TEST(UpdatePolicy, AsksOnceAndAYesChecksAtOnce) {
  Policy p;
  p.Start();
  EXPECT_EQ(p.Questions, 1);
  EXPECT_EQ(p.Checks, 1); // the last check is "never"
  EXPECT_TRUE(p.Settings().AutoUpdateConfigured);
  EXPECT_TRUE(p.Settings().CanCheckForAutoUpdate);
  // All five values exist after the first start.
  auto key = p.Store.OpenKey(TRootKeys::CURRENT_USER, TSettings::KeyPath, false);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ValueNames().size(), 5u);
  p.Start();
  EXPECT_EQ(p.Questions, 1);
}

TEST(UpdatePolicy, ANoIsStoredAndNeverAskedAgain) {
  Policy p;
  p.Answer = false;
  p.Start();
  p.Start();
  EXPECT_EQ(p.Questions, 1);
  EXPECT_EQ(p.Checks, 0);
  EXPECT_TRUE(p.Settings().AutoUpdateConfigured);
  EXPECT_FALSE(p.Settings().CanCheckForAutoUpdate);
}

TEST(UpdatePolicy, ChecksOnlyAfterMoreThanSevenDays) {
  EXPECT_TRUE(IsUpdateCheckDue(Noon, DateTime{0}));
  DateTime sevenDaysAgo{Noon.Ticks - 7 * DateTime::TicksPerDay};
  EXPECT_FALSE(IsUpdateCheckDue(Noon, sevenDaysAgo));
  EXPECT_TRUE(IsUpdateCheckDue(Noon, DateTime{sevenDaysAgo.Ticks - DateTime::TicksPerSecond}));
  EXPECT_FALSE(IsUpdateCheckDue(Noon, DateTime{Noon.Ticks - DateTime::TicksPerHour}));

  Policy p;
  p.Start(); // answered Yes, checked
  p.SetLastCheck(sevenDaysAgo);
  p.Start();
  EXPECT_EQ(p.Checks, 1);
  p.Now = DateTime{Noon.Ticks + 1};
  p.Start();
  EXPECT_EQ(p.Checks, 2);
}

TEST(UpdatePolicy, ALastCheckInTheFutureIsDue) {
  // The clock was set back: a stored time ahead of now must not hold
  // checks off until that date.
  EXPECT_TRUE(IsUpdateCheckDue(Noon, DateTime{Noon.Ticks + 30 * DateTime::TicksPerDay}));
  Policy p;
  p.Start();
  p.SetLastCheck(DateTime{Noon.Ticks + DateTime::TicksPerHour});
  p.Start();
  EXPECT_EQ(p.Checks, 2);
}

TEST(UpdatePolicy, OnlyNoUpdateMovesTheClock) {
  Policy p;
  p.Start(); // a check that failed or found something records nothing
  EXPECT_EQ(p.Settings().LastUpdateCheck.Ticks, 0);
  RecordNoUpdateAvailable(p.Store, Noon);
  EXPECT_EQ(p.Settings().LastUpdateCheck.Ticks, Noon.Ticks);
  p.Now = DateTime{Noon.Ticks + 2 * DateTime::TicksPerDay};
  p.Start();
  EXPECT_EQ(p.Checks, 1);
}

TEST(UpdatePolicy, ACheckThatAnswersAtOnceKeepsItsTime) {
  // The settings are saved before the check starts; a "no update" reported
  // from inside the start is not overwritten by the policy's own save.
  Policy p;
  p.DuringCheck = [&p] { RecordNoUpdateAvailable(p.Store, Noon); };
  p.Start();
  EXPECT_EQ(p.Settings().LastUpdateCheck.Ticks, Noon.Ticks);
  EXPECT_TRUE(p.Settings().AutoUpdateConfigured);
}
