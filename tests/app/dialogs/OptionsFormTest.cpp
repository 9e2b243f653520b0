#include "app/dialogs/OptionsForm.h"
#include "app/core/Settings.h"
#include "platform/registry/MemoryRegistry.h"
#include "support/WhenModal.h"
#include "ui_OptionsForm.h"

#include <gtest/gtest.h>

using namespace bw;
using bw::test::WhenModal;

TEST(OptionsForm, OkStoresTheCheckBoxAndCancelWritesNothing) {
  MemoryRegistryStore store;
  WhenModal<TOptionsForm>([](TOptionsForm& f) {
    f.Form().AutoUpdateCheckBox->setChecked(true);
    f.Form().CancelButton->click();
  });
  EXPECT_FALSE(TOptionsForm::Execute(store, true));
  auto key = store.OpenKey(TRootKeys::CURRENT_USER, TSettings::KeyPath, false);
  EXPECT_TRUE(!key || key->ValueNames().empty());

  TSettings before(store);
  before.CanCheckForAutoUpdate = true;
  before.Save();
  const DateTime when = DateTime::Create(2026, 5, 1, 9, 0, 0);
  WhenModal<TOptionsForm>([&](TOptionsForm& f) {
    EXPECT_TRUE(f.Form().AutoUpdateCheckBox->isChecked());
    f.Form().AutoUpdateCheckBox->setChecked(false);
    // A check that finds nothing while the dialog is open records its
    // time; OK must not put the old time back.
    TSettings meanwhile(store);
    meanwhile.LastUpdateCheck = when;
    meanwhile.Save();
    f.Form().OKButton->click();
  });
  EXPECT_TRUE(TOptionsForm::Execute(store, true));
  TSettings after(store);
  EXPECT_FALSE(after.CanCheckForAutoUpdate);
  // OK also answers the start-up question.
  EXPECT_TRUE(after.AutoUpdateConfigured);
  EXPECT_EQ(after.LastUpdateCheck.Ticks, when.Ticks);
}

TEST(OptionsForm, WithoutAnUpdateServerTheBoxIsOffAndSaysWhy) {
  MemoryRegistryStore store;
  WhenModal<TOptionsForm>([](TOptionsForm& f) {
    EXPECT_FALSE(f.Form().AutoUpdateCheckBox->isEnabled());
    EXPECT_EQ(f.Form().AutoUpdateCheckBox->toolTip(),
              "This edition has no update server, so it cannot check for updates.");
    f.Form().CancelButton->click();
  });
  TOptionsForm::Execute(store, false);
}
