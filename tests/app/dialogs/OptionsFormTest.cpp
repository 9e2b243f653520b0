#include "app/dialogs/OptionsForm.h"
#include "app/core/Settings.h"
#include "platform/registry/MemoryRegistry.h"
#include "ui_OptionsForm.h"

#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

using namespace bw;

namespace {

// Runs the dialog; while it is shown, act works on it.
bool RunOptions(RegistryStore& store, std::function<void(TOptionsForm&)> act) {
  QTimer::singleShot(0, [act] {
    auto* form = qobject_cast<TOptionsForm*>(QApplication::activeModalWidget());
    ASSERT_NE(form, nullptr);
    act(*form);
  });
  return TOptionsForm::Execute(store);
}

} // namespace

TEST(OptionsForm, ShowsTheStoredAnswerAndOkStoresTheCheckBox) {
  MemoryRegistryStore store;
  {
    TSettings s(store);
    s.CanCheckForAutoUpdate = true;
    s.Save();
  }
  bool shownChecked = false;
  EXPECT_TRUE(RunOptions(store, [&](TOptionsForm& f) {
    EXPECT_EQ(f.windowTitle(), "Options");
    EXPECT_EQ(f.Form().PageControl->tabText(0), "Auto Update");
    shownChecked = f.Form().AutoUpdateCheckBox->isChecked();
    f.Form().AutoUpdateCheckBox->setChecked(false);
    f.Form().OKButton->click();
  }));
  EXPECT_TRUE(shownChecked);
  TSettings after(store);
  EXPECT_FALSE(after.CanCheckForAutoUpdate);
  // OK also answers the start-up question.
  EXPECT_TRUE(after.AutoUpdateConfigured);
}

TEST(OptionsForm, CancelWritesNothing) {
  MemoryRegistryStore store;
  EXPECT_FALSE(RunOptions(store, [](TOptionsForm& f) {
    f.Form().AutoUpdateCheckBox->setChecked(true);
    f.Form().CancelButton->click();
  }));
  auto key = store.OpenKey(TRootKeys::CURRENT_USER, TSettings::KeyPath, false);
  EXPECT_TRUE(!key || key->ValueNames().empty());
}

TEST(OptionsForm, KeepsALastCheckWrittenWhileItWasOpen) {
  // A check that finds nothing while the dialog is open records its time;
  // OK must not put the old time back.
  MemoryRegistryStore store;
  const DateTime when = DateTime::Create(2026, 5, 1, 9, 0, 0);
  RunOptions(store, [&](TOptionsForm& f) {
    TSettings s(store);
    s.LastUpdateCheck = when;
    s.Save();
    f.Form().OKButton->click();
  });
  EXPECT_EQ(TSettings(store).LastUpdateCheck.Ticks, when.Ticks);
}
