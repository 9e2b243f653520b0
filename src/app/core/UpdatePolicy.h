// When the program looks for a newer version by itself: the user is asked
// once whether it may, and then it looks at start-up whenever more than
// seven days have passed since a check last found nothing new. Only such a
// "nothing new" moves the clock; a failed check or a found update does not.
#pragma once

#include "foundation/DateTime.h"
#include "platform/registry/Registry.h"

#include <functional>

namespace bw {

struct TUpdateCheckHost {
  // The automatic-update question; true for Yes.
  std::function<bool()> AskAutoUpdate;
  // Starts the check without waiting for it.
  std::function<void()> CheckUpdate;
  std::function<DateTime()> Now = [] { return DateTime::Now(); };
};

// Whether a check is due: "never", more than seven days (fractions count)
// since the last one, or a last check in the future (the clock was set
// back), which would otherwise hold checks off until that date.
bool IsUpdateCheckDue(DateTime now, DateTime lastCheck);

// The start-up policy: asks the question while it was never answered,
// stores the answer, and starts a check when allowed and due. The settings
// are saved before the check starts, so that a check that reports at once
// is not overwritten.
void AutoCheckForUpdates(RegistryStore& store, const TUpdateCheckHost& host);

// A check found no newer version: its time is the last check.
void RecordNoUpdateAvailable(RegistryStore& store, DateTime now);

} // namespace bw
