// The window an upgrade question comes over. The upgrade's windows name
// themselves here while they are open; the message boxes and the windows
// both ask, so that neither needs the other for it.
#pragma once

class QWidget;

namespace bw {

// The upgrade's own windows a question may come over, the first of them
// that shows being preferred.
enum TauUpgraderQuestionWindow { uqPasswordDialog, uqAskDialog, uqWizard };

// Names the window of that kind; null, or the window's end, forgets it.
void SetUpgraderQuestionWindow(TauUpgraderQuestionWindow kind, QWidget* window);

// The upgrade's own window that shows (a question of the download comes
// over the wizard, which stays on top), else the program's main window;
// null while neither shows.
QWidget* UpgraderQuestionParent();

} // namespace bw
