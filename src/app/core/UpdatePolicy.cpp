#include "app/core/UpdatePolicy.h"

#include "app/core/Settings.h"

namespace bw {

bool IsUpdateCheckDue(DateTime now, DateTime lastCheck) {
  if (lastCheck.Ticks == 0) return true;
  const int64_t elapsed = now.Ticks - lastCheck.Ticks;
  if (elapsed < 0) return true;
  return elapsed > 7 * DateTime::TicksPerDay;
}

void AutoCheckForUpdates(RegistryStore& store, const TUpdateCheckHost& host) {
  TSettings settings(store);
  if (!settings.AutoUpdateConfigured) {
    settings.CanCheckForAutoUpdate = host.AskAutoUpdate();
    settings.AutoUpdateConfigured = true;
  }
  const bool check =
      settings.CanCheckForAutoUpdate && IsUpdateCheckDue(host.Now(), settings.LastUpdateCheck);
  settings.Save();
  if (check) host.CheckUpdate();
}

void RecordNoUpdateAvailable(RegistryStore& store, DateTime now) {
  TSettings settings(store);
  settings.LastUpdateCheck = now;
  settings.Save();
}

} // namespace bw
