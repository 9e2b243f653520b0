// The program's one main window: the tree control in a scrolling area, the
// menus, the tool bar, the status bar, the document (file name, modified
// state, undo and redo) and the recent-file list.
#pragma once

#include "app/StartupQueue.h"
#include "app/commands/NodeCommands.h"
#include "app/core/FileDialogFolder.h"
#include "app/core/UndoHistory.h"
#include "app/recentfiles/RecentFileList.h"
#include "foundation/FileIdentity.h"
#include "platform/registry/Registry.h"
#include "platform/system/NamedMutex.h"
#include "printing/PrintForm.h"
#include "printing/PrintableForm.h"
#include "widgets/DecTreeWidget.h"
#include "widgets/MenuStatusTips.h"
#include "widgets/StatusHintPanel.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>

#include <functional>
#include <memory>

namespace Ui {
class TMainForm;
}

namespace bw {

class TauAutoUpgrader;

// The window's questions, notices and file dialogs; tests replace them.
struct TMainFormDialogs {
  // Yes, No, Cancel: 1, 0, -1.
  std::function<int(const QString& text)> AskYesNoCancel;
  std::function<bool(const QString& text)> AskYesNo;
  std::function<void(const QString& text)> Information;
  std::function<void(const QString& text)> Warning;
  std::function<void(const QString& text)> Error;
  // Empty: cancelled. folder: where the dialog starts.
  std::function<QString(const QString& folder)> OpenFileName;
  // proposed: the name offered, with its folder.
  std::function<QString(const QString& proposed)> SaveFileName;
  // Of File > Export picture; empty: cancelled.
  std::function<QString(const QString& folder)> PictureFileName;
  // The external-data overview over the tree, with the window's undo step.
  std::function<void(TDecTree& tree, const std::function<void(const std::string&)>& saveUndo)>
      ExternalDataOverview;
};

class TMainForm : public QMainWindow, public IPrintableForm {
  Q_OBJECT
public:
  // store: where the recent-file list lives; the window does not own it.
  explicit TMainForm(RegistryStore& store, const QString& commandLineFile = {},
                     QWidget* parent = nullptr);
  ~TMainForm() override;

  TDecTreeWidget& DecTreeWidget() { return *FDecTree; }
  TDecTree& DecTree() { return FDecTree->Tree(); }
  Ui::TMainForm& Form() { return *FUi; }
  QMenu* NodePopupMenu() const { return FPopupMenu; }
  QToolButton* LevelsToolButton() const { return FLevelsToolButton; }
  QLabel* StatusPanel(int index) const { return FPanels[index]; }
  TFileHistory& RecentFileList() { return FRecentFiles; }
  TNodeCommands& NodeCommands() { return *FCommands; }
  const TUndoHistory& UndoHistory() const { return FUndo; }
  const std::string& FileName() const { return FFileName; }
  bool IsModified() const;
  TMainFormDialogs Dialogs;
  // The print window's dialogs and modal loop; tests replace them.
  TPrintWindowDialogs PrintDialogs;

  // The document.
  bool SavePrompt();
  void SetModified(bool value);
  void SetFileName(const std::string& fileName, bool removeOld);
  void OpenFile(const std::string& fileName);
  void OpenFailed(const std::string& fileName, const std::string& reason, bool wasModified);
  bool SaveFile(bool saveAs);
  void FileNew();
  // File > External data: every imported payoff read again.
  void FileExternalData();

  // Undo and redo.
  void SaveUndo(const std::string& undoMessage);
  void ClearUndoRedo(bool clearUndo, bool clearRedo);
  void UpdateUndoRedo();
  void EditUndo();
  void EditRedo();

  void DrawLevelsGlyph(int level);
  // The recent files between the separator N1 and Exit.
  void UpdateRecentFileMenu();
  void OpenHelp();
  // The first local file of a drop, after the save prompt; the rest are
  // ignored.
  void OpenDroppedFiles(const QMimeData& data);

  // File > Print: the print window with the margins and orientation of the
  // settings, which keep what the user left.
  void FilePrint();
  // The whole tree as one page between the margins.
  void PrintTo(TPrintPreview& preview, const TPageMargins& margins, bool showMargins) override;
  QWidget* GetForm() override { return this; }

  // Scrolls the root's box into view: a large tree's root lies in the middle
  // of its height, out of sight of a fresh window.
  void ScrollToRoot();

  // The automatic upgrade: the upgrader, and the start-up policy (asks once
  // whether the program may look for updates, then looks when due).
  TauAutoUpgrader& AutoUpgrader() { return *FAutoUpgrader; }
  void AutoCheckForUpdates();

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  // Every command of the window runs through this: an open in-place edit
  // ends first, as the tree control ends it (a text that is no number is
  // taken back), then the body runs guarded.
  std::function<void()> Command(std::function<void()> body);
  // The live tree goes onto the other stack; the top of this one comes back.
  void ExchangeWithHistory(bool undo);
  void CreateStatusPanels();
  void CreatePopupMenus();
  void CreateNodeCommands();
  void ConnectCommands();
  // Comment, the advanced payoff edit, tree properties, About and the
  // hidden node format (MainFormDialogs.cpp).
  void ConnectDialogCommands();
  void DecTreeCalculated();
  void PopupMenuPopup();
  void SwitchMode(bool business);
  void ToggleHighlightClones();
  void LevelsPopupMenuPopup();
  void OpenDroppedOrRecent(const std::string& fileName);
  bool AskYesNo(const QString& text);
  bool Wheel(class QWheelEvent* event);
  // A failed operation's message box; at start-up once the window shows.
  void ShowError(const QString& text);
  // A step of opening a file: what it throws is said as the open's failure.
  void OpenStep(const std::string& fileName, bool wasModified, const std::function<void()>& step);
  // A file dialog's start and memory, beside the tree's file.
  TFileDialogFolder DialogFolder(const char* valueName) const {
    return {FStore, valueName, FFileName};
  }

  std::unique_ptr<Ui::TMainForm> FUi;
  // The node menu's hints, and those of greyed items in the menus the
  // window follows, to the status bar.
  TMenuStatusTips FMenuTips{*this};
  TDecTreeWidget* FDecTree;
  QMenu* FPopupMenu;
  QMenu* FLevelsPopupMenu;
  QToolButton* FLevelsToolButton;
  QLabel* FPanels[4];
  TStatusHintPanel* FHintPanel;
  QAction* FHistorySeparator = nullptr;
  std::vector<QAction*> FHistoryActions;
  NamedMutex FMutex;
  RegistryStore& FStore;
  std::unique_ptr<TauAutoUpgrader> FAutoUpgrader;
  void CreateAutoUpgrader();
  // The report of an install that the last run left and the update check,
  // queued at the first show behind the questions of the file opened at
  // start-up.
  void QueueStartupUpgradeCalls();
  bool FStartupUpgradeQueued = false;
  // Questions and messages of the start-up wait until the window is on the
  // screen, and come over it.
  TStartupQueue FStartupQueue{*this};
  TFileHistory FRecentFiles;
  TUndoHistory FUndo;
  std::unique_ptr<TNodeCommands> FCommands;
  std::string FFileName;
  // FFileName as this window last read or wrote it.
  TFileIdentity FFileIdentity;
};

} // namespace bw
