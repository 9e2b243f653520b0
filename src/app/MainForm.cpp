#include "app/MainForm.h"

#include "app/TreePrinting.h"
#include "app/commands/NewTree.h"
#include "app/commands/NodeCommands.h"
#include "app/core/Settings.h"
#include "app/core/UIStrings.h"
#include "app/dialogs/EditPayoffForm.h"
#include "app/dialogs/OverviewExternalDataForm.h"
#include "app/text/LocaleCurrency.h"
#include "export/qt/PictureExport.h"
#include "foundation/Conversions.h"
#include "foundation/ErrorReport.h"
#include "model/MultiOptionSolver.h"
#include "model/UIStringsComponent.h"
#include "treefile/TreeFile.h"
#include "ui_MainForm.h"
#include "upgrade/AutoUpgrader.h"
#include "widgets/BusyCursor.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>

namespace bw {

using namespace UIStrings;

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}
std::string U(const QString& s) {
  return s.toStdString();
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* const RegKeyPath = "SOFTWARE\\Calverick\\Brantwick\\2";

// An icon of our own set, drawn at 16 and 32 pixels.
QIcon BundledIcon(const QString& name) {
  QIcon icon(":/icons/" + name + ".png");
  icon.addFile(":/icons/" + name + "@2x.png");
  return icon;
}

// The desktop theme's icon of that name, or ours where the theme has none.
QIcon ThemeIcon(const QString& name) {
  return QIcon::fromTheme(name, BundledIcon(name));
}

// The pictures of the menus and tool buttons, by their index.
QIcon ToolbarImage(int index) {
  switch (index) {
  case 0:
    return ThemeIcon("edit-undo");
  case 1:
    return ThemeIcon("edit-redo");
  case 2:
    return ThemeIcon("document-open");
  case 3:
    return ThemeIcon("document-save");
  case 4:
    return ThemeIcon("document-print");
  case 5:
    return ThemeIcon("image-x-generic");
  case 6:
    return ThemeIcon("edit-copy");
  case 7:
    return ThemeIcon("help-contents");
  case 8:
    return ThemeIcon("document-new");
  case 9:
    // Optimise decisions: ours in any theme, which has no picture for it.
    return BundledIcon("optimize-decisions");
  case 11:
    return BundledIcon("clone-master");
  case 12:
    return BundledIcon("clone-link");
  case 13:
    return BundledIcon("clone-unlink");
  case 14:
    return ThemeIcon("go-up");
  case 15:
    return ThemeIcon("go-down");
  case 16:
    return ThemeIcon("document-edit");
  case 17:
    return ThemeIcon("edit-delete");
  default:
    return {};
  }
}

// The node popup menu's items: name, caption, picture, hint.
struct PopupItem {
  const char* Name;
  const char* Caption;
  int Image;
  const char* Hint;
};

constexpr PopupItem PopupItems[] = {
    {"PopupEditMenuItem", "Edit", 16, "Edit"},
    {"PopupEditPayoffAdvancedMenuItem", "Edit Payoff (advanced)...", -1, ""},
    {"PopupAddChildMenuItem", "Add Child", -1, "Adds a new node as a subnode"},
    {"N2", "-", -1, ""},
    {"PopupMoveUpMenuItem", "Move up", 14, "Moves the selected node up by one"},
    {"PopupMoveDownMenuItem", "Move down", 15, "Moves the selected node down by one"},
    {"N3", "-", -1, ""},
    {"PopupRemoveMenuItem", "Remove...", 17, "Removes the selected node"},
    {"N4", "-", -1, ""},
    {"PopupTypeMenuItem", "Type", -1, ""},
    {"PopupTakeOptionMenuItem", "Take this option", -1, "Takes this option of a decision node"},
    {"PopupTakeThisPathMenuItem", "Take this path", -1, ""},
    {"N5", "-", -1, ""},
    {"PopupDefineAsCloneMasterMenuItem", "Define as clone master...", 11,
     "Selects the current node as clone master. This will allow you link another clone to this "
     "one"},
    {"PopupDefineAsCloneOfMenuItem", "Define as clone", 12,
     "Links this node to the previously set clone master. This will keep the subtrees of both "
     "nodes in sync"},
    {"PopupUnlinkCloneMenuItem", "Unlink clone", 13,
     "Removes the link to the clone master. This will make this node independent of the clone "
     "master."},
    {"N7", "-", -1, ""},
    {"PopupOptimizeSubnodeDecisionsMenuItem", "Optimize subnode decisions", 9,
     "Optimize decisons|Optimizes decisions of this node's subnodes to maximize payoff"},
    {"N6", "-", -1, ""},
    {"PopupCommentMenuItem", "Comment...", -1, "Allows you to enter a comment for this node"},
};

constexpr PopupItem TypeItems[] = {
    {"PopupTypeDecisionChooseOneMenuItem", "Decision (Choose one)", -1,
     "Changes the node into a decision node. Decision nodes usually have several options of which "
     "one is taken"},
    {"PopupTypeDecisionChooseMultipleMenuItem", "Decision (Choose multiple)", -1,
     "Changes the node into a decision node where several decisions can be taken."},
    {"PopupTypeChancePercentMenuItem", "Chance (%)", -1,
     "Changes the node into a chance node using percentages. Chance nodes usually have several "
     "possibilities, each given a probability"},
    {"PopupTypeChanceNumericMenuItem", "Chance (numeric)", -1,
     "Changes the node into a chance node using relative numeric values. Chance nodes usually "
     "have several possibilities, each given a probability"},
};

void SetHint(QAction* action, const QString& hint) {
  if (hint.isEmpty()) return;
  qsizetype bar = hint.indexOf('|');
  action->setToolTip(bar < 0 ? hint : hint.left(bar));
  action->setStatusTip(bar < 0 ? hint : hint.mid(bar + 1));
}

// A slot whose body runs through Guarded: no exception unwinds into Qt.
template <typename F>
auto Slot(F body) {
  return [body] { Guarded(body); };
}

} // namespace

TMainForm::TMainForm(RegistryStore& store, const QString& commandLineFile, QWidget* parent)
    : QMainWindow(parent), FUi(std::make_unique<Ui::TMainForm>()), FMutex("BrantwickMutex"),
      FStore(store), FRecentFiles(store) {
  FUi->setupUi(this);
  setAttribute(Qt::WA_DeleteOnClose, false);

  // Separators of the File menu keep their names; the recent files go
  // between N1 and Exit.
  const char* fileSeparators[] = {"N12", "N9", "N1"};
  int next = 0;
  for (QAction* a : FUi->FileMenuItem->actions())
    if (a->isSeparator() && next < 3) a->setObjectName(fileSeparators[next++]);

  // Pictures of the menu items and tool buttons.
  const std::pair<QAction*, int> images[] = {{FUi->FileNewMenuItem, 8},
                                             {FUi->FileOpenMenuItem, 2},
                                             {FUi->FileSaveMenuItem, 3},
                                             {FUi->FileExportPictureMenuItem, 5},
                                             {FUi->FilePrintMenuItem, 4},
                                             {FUi->EditUndoMenuItem, 0},
                                             {FUi->EditRedoMenuItem, 1},
                                             {FUi->EditCopyPictureMenuItem, 6},
                                             {FUi->EditOptimizeWholeMenuItem, 9},
                                             {FUi->HelpHelpMenuItem, 7},
                                             {FUi->NewToolButton, 8},
                                             {FUi->OpenToolButton, 2},
                                             {FUi->SaveToolBarButton, 3},
                                             {FUi->ExportPictureToolButton, 5},
                                             {FUi->PrintToolButton, 4},
                                             {FUi->UndoToolButton, 0},
                                             {FUi->RedoToolButton, 1},
                                             {FUi->CopyPictureToolButton, 6},
                                             {FUi->OptimizeDecisionsToolButton, 9}};
  for (auto [action, index] : images)
    action->setIcon(ToolbarImage(index));
  for (QAction* a : FUi->StandardToolBar->actions())
    if (QWidget* w = FUi->StandardToolBar->widgetForAction(a)) w->setObjectName(a->objectName());

  // The view modes are one radio group.
  auto* modes = new QActionGroup(this);
  for (QAction* a : {FUi->ViewBusinessmodeMenuItem, FUi->ViewDontshowpayoffMenuItem}) {
    a->setCheckable(true);
    modes->addAction(a);
  }
  FUi->ViewBusinessmodeMenuItem->setChecked(true);
  FUi->ViewHighlightclonesMenuItem->setCheckable(true);
  FUi->ViewHighlightclonesMenuItem->setChecked(true);

  CreateAutoUpgrader();

  CreateStatusPanels();
  CreatePopupMenus();
  // The main menus' greyed items show their hints too.
  for (QMenu* menu : {FUi->FileMenuItem, FUi->EditMenuItem, FUi->ViewMenuItem, FUi->ToolsMenuItem,
                      FUi->HelpMenuItem})
    FMenuTips.Watch(*menu);

  // The tree control in the scroll box.
  FDecTree = new TDecTreeWidget();
  FDecTree->setObjectName("DecTree");
  FDecTree->SetPopupMenu(FPopupMenu);
  FUi->ScrollBox->setWidget(FDecTree);
  FDecTree->setGeometry(0, 0, 10, 10);
  FDecTree->setToolTipDuration(10000);
  FUi->ScrollBox->viewport()->installEventFilter(this);
  FDecTree->installEventFilter(this);

  TDecTree& tree = FDecTree->Tree();
  tree.OnCalculated = [this](TDecTree&) { DecTreeCalculated(); };
  tree.OnSaveUndo = [this](TDecTree&, const std::string& message) { SaveUndo(message); };
  tree.OnBeforeExpandCollapse = [this](TDecTree&) { SaveUndo(Str(SUndoExpandCollapseSubtree)); };
  tree.OnBeforeShowDecisionProperty = [this](TDecTree&) { SaveUndo(Str(SUndoShowHideProperty)); };

  SetModified(false);
  setAcceptDrops(true);
  DrawLevelsGlyph(1);
  CreateNodeCommands();
  ConnectCommands();
  ConnectDialogCommands();

  FileNew();
  FRecentFiles.RegKey = RegKeyPath;
  FRecentFiles.Initialize();
  if (!commandLineFile.isEmpty()) {
    // Absolute, so that the recent-file list never holds a name that breaks
    // when the program starts from another folder.
    OpenFile(U(QFileInfo(commandLineFile).absoluteFilePath()));
  }
}

std::function<void()> TMainForm::Command(std::function<void()> body) {
  return [this, body = std::move(body)] {
    Guarded([&] {
      FDecTree->Tree().HideInplaceEditor();
      body();
    });
  };
}

TMainForm::~TMainForm() {
  TEditPayoffForm::ImportExternalDialog = nullptr;
  ClearUndoRedo(true, true);
}

void TMainForm::CreateStatusPanels() {
  const char* texts[] = {"Minimum", "Current", "Maximum", ""};
  const int widths[] = {120, 130, 120, 50};
  const Id hints[] = {SHintMin, SHintCurrent, SHintMax};
  for (int i = 0; i < 4; ++i) {
    QLabel* panel = i < 3 ? new QLabel(texts[i], this) : FHintPanel = new TStatusHintPanel(this);
    panel->setObjectName(QString("StatusPanel%1").arg(i));
    panel->setAlignment(i < 3 ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    if (i < 3) {
      panel->setFixedWidth(widths[i]);
      // The long part of these hints is empty: panel 3 goes blank while the
      // tool tip shows.
      QString hint = Q(Str(hints[i]));
      panel->setToolTip(hint.left(hint.indexOf('|')));
      panel->setToolTipDuration(10000);
      panel->installEventFilter(this);
      statusBar()->addWidget(panel);
    } else {
      panel->setMinimumWidth(widths[i]);
      statusBar()->addWidget(panel, 1);
    }
    FPanels[i] = panel;
  }
}

void TMainForm::CreatePopupMenus() {
  FPopupMenu = new QMenu(this);
  FPopupMenu->setObjectName("PopupMenu");
  for (const PopupItem& item : PopupItems) {
    QAction* action;
    if (std::string_view(item.Caption) == "-") {
      action = FPopupMenu->addSeparator();
    } else if (std::string_view(item.Name) == "PopupTypeMenuItem") {
      QMenu* sub = FPopupMenu->addMenu(item.Caption);
      action = sub->menuAction();
      auto* group = new QActionGroup(sub);
      for (const PopupItem& t : TypeItems) {
        QAction* ta = sub->addAction(t.Caption);
        ta->setObjectName(t.Name);
        ta->setCheckable(true);
        SetHint(ta, t.Hint);
        // One group: each item shows as a radio mark, none as a check box.
        group->addAction(ta);
      }
      sub->actions()[0]->setChecked(true);
    } else {
      action = FPopupMenu->addAction(item.Caption);
      SetHint(action, item.Hint);
      if (item.Image >= 0) action->setIcon(ToolbarImage(item.Image));
    }
    action->setObjectName(item.Name);
  }
  QFont bold = FPopupMenu->font();
  bold.setBold(true);
  FPopupMenu->findChild<QAction*>("PopupEditMenuItem")->setFont(bold);
  FPopupMenu->setDefaultAction(FPopupMenu->findChild<QAction*>("PopupEditMenuItem"));
  connect(FPopupMenu, &QMenu::aboutToShow, this, Slot([this] { PopupMenuPopup(); }));
  // A window of its own: its hints would stop at it.
  FMenuTips.Watch(*FPopupMenu);

  FLevelsPopupMenu = new QMenu(this);
  FLevelsPopupMenu->setObjectName("LevelsPopupMenu");
  connect(FLevelsPopupMenu, &QMenu::aboutToShow, this, Slot([this] { LevelsPopupMenuPopup(); }));
  FLevelsToolButton = new QToolButton(this);
  FLevelsToolButton->setObjectName("LevelsToolButton");
  FLevelsToolButton->setMenu(FLevelsPopupMenu);
  // A click on the button itself opens the menu, as one on its arrow does.
  FLevelsToolButton->setPopupMode(QToolButton::InstantPopup);
  FLevelsToolButton->setToolTip("Expand/Collapse");
  FLevelsToolButton->setStatusTip("Expand or collapse nodes based on level");
  FUi->StandardToolBar->addWidget(FLevelsToolButton);
}

void TMainForm::ConnectCommands() {
  auto on = [this](QAction* a, auto f) { connect(a, &QAction::triggered, this, Command(f)); };
  auto open = [this] {
    if (!SavePrompt()) return;
    const TFileDialogFolder folder = DialogFolder(TFileDialogFolder::Open);
    const QString start = Q(folder.Start());
    QString name =
        Dialogs.OpenFileName
            ? Dialogs.OpenFileName(start)
            : QFileDialog::getOpenFileName(
                  this, {}, start, "Brantwick Files (*.bwk *.dtr *.BWK *.DTR);;All files (*)");
    if (name.isEmpty()) return;
    name = QFileInfo(name).absoluteFilePath();
    folder.Remember(U(name));
    OpenFile(U(name));
  };
  on(FUi->FileNewMenuItem, [this] { FileNew(); });
  on(FUi->NewToolButton, [this] { FileNew(); });
  on(FUi->FileOpenMenuItem, open);
  on(FUi->OpenToolButton, open);
  on(FUi->FileSaveMenuItem, [this] { SaveFile(false); });
  on(FUi->SaveToolBarButton, [this] { SaveFile(false); });
  on(FUi->FileSaveAsMenuItem, [this] { SaveFile(true); });
  on(FUi->FileExitMenuItem, [this] { close(); });
  on(FUi->FileExternalDataMenuItem, [this] { FileExternalData(); });
  on(FUi->EditUndoMenuItem, [this] { EditUndo(); });
  on(FUi->UndoToolButton, [this] { EditUndo(); });
  on(FUi->EditRedoMenuItem, [this] { EditRedo(); });
  on(FUi->RedoToolButton, [this] { EditRedo(); });
  on(FUi->ViewBusinessmodeMenuItem, [this] { SwitchMode(true); });
  on(FUi->ViewDontshowpayoffMenuItem, [this] { SwitchMode(false); });
  on(FUi->ViewHighlightclonesMenuItem, [this] { ToggleHighlightClones(); });
  on(FUi->HelpHelpMenuItem, [this] { OpenHelp(); });
  on(FUi->FilePrintMenuItem, [this] { FilePrint(); });
  on(FUi->PrintToolButton, [this] { FilePrint(); });

  // Pictures of the whole tree: its laid-out extent with the margin on every
  // side, drawn as for paper (no selected boxes, buttons or comment marks).
  auto picture = [this] {
    TDecTree& tree = FDecTree->Tree();
    const TNodeRect& bounds = tree.TreeRoot()->Bounds;
    return TPictureSource{bounds.Width + 2 * tree.BorderSize, bounds.Height + 2 * tree.BorderSize,
                          FDecTree->logicalDpiY(), [&tree](TCanvas& c) { tree.PaintTo(c); }};
  };
  auto copyPicture = [this, picture] { CopyPicture(this, picture(), Dialogs.Error); };
  auto exportPicture = [this, picture] {
    const TFileDialogFolder folder = DialogFolder(TFileDialogFolder::ExportPicture);
    const QString name = ExportPictureToFile(
        this, picture(), {Dialogs.PictureFileName, Dialogs.Error}, Q(folder.Start()));
    if (!name.isEmpty()) folder.Remember(U(QFileInfo(name).absoluteFilePath()));
  };
  on(FUi->EditCopyPictureMenuItem, copyPicture);
  on(FUi->CopyPictureToolButton, copyPicture);
  on(FUi->FileExportPictureMenuItem, exportPicture);
  on(FUi->ExportPictureToolButton, exportPicture);
  connect(FUi->ViewMenuItem, &QMenu::aboutToShow, this, Slot([this] {
            // Undo changes the options behind the menu's back.
            const TTreeOptions& o = FDecTree->Tree().Options;
            FUi->ViewHighlightclonesMenuItem->setChecked(o.HighlightClones);
            FUi->ViewBusinessmodeMenuItem->setChecked(o.ShowPayoff);
            FUi->ViewDontshowpayoffMenuItem->setChecked(!o.ShowPayoff);
          }));
  connect(FUi->FileMenuItem, &QMenu::aboutToShow, this, Slot([this] { UpdateRecentFileMenu(); }));

  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, Command([this] { OpenHelp(); }));

  // The node menu and Edit > Optimize decisions. Comment and Edit Payoff
  // (advanced) are connected with their dialogs.
  auto node = [this](QAction* a, auto command) {
    connect(a, &QAction::triggered, this, Command([this, command] { ((*FCommands).*command)(); }));
  };
  auto item = [this](TNodeCommand c) { return FPopupMenu->findChild<QAction*>(PopupItemName(c)); };
  node(item(TNodeCommand::Edit), &TNodeCommands::Edit);
  node(item(TNodeCommand::AddChild), &TNodeCommands::AddChild);
  node(item(TNodeCommand::MoveUp), &TNodeCommands::MoveUp);
  node(item(TNodeCommand::MoveDown), &TNodeCommands::MoveDown);
  node(item(TNodeCommand::Remove), &TNodeCommands::Remove);
  node(item(TNodeCommand::TakeOption), &TNodeCommands::TakeOption);
  node(item(TNodeCommand::TakeThisPath), &TNodeCommands::TakeThisPath);
  node(item(TNodeCommand::DefineAsCloneMaster), &TNodeCommands::DefineAsCloneMaster);
  node(item(TNodeCommand::DefineAsCloneOf), &TNodeCommands::DefineAsCloneOf);
  node(item(TNodeCommand::UnlinkClone), &TNodeCommands::UnlinkClone);
  node(item(TNodeCommand::OptimizeSubnodeDecisions), &TNodeCommands::OptimizeSubnodeDecisions);
  node(FUi->EditOptimizeWholeMenuItem, &TNodeCommands::OptimizeWholeTree);
  node(FUi->OptimizeDecisionsToolButton, &TNodeCommands::OptimizeWholeTree);
  for (int i = 0; i < NodeTypeItemCount; ++i) {
    const auto type = static_cast<TNodeTypeItem>(i);
    connect(FPopupMenu->findChild<QAction*>(PopupTypeItemName(type)), &QAction::triggered, this,
            Command([this, type] { FCommands->ChangeType(type); }));
  }
}

void TMainForm::CreateNodeCommands() {
  TNodeCommandHost host;
  host.SaveUndo = [this](const std::string& caption) { SaveUndo(caption); };
  host.AskYesNo = [this](const std::string& text) { return AskYesNo(Q(text)); };
  host.AskYesNoCancel = [this](const std::string& text) {
    if (Dialogs.AskYesNoCancel) return Dialogs.AskYesNoCancel(Q(text));
    auto button = QMessageBox::question(this, QApplication::applicationDisplayName(), Q(text),
                                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    return button == QMessageBox::Yes ? 1 : button == QMessageBox::No ? 0 : -1;
  };
  host.Information = [this](const std::string& text) {
    if (Dialogs.Information)
      Dialogs.Information(Q(text));
    else
      QMessageBox::information(this, QApplication::applicationDisplayName(), Q(text));
  };
  host.Warning = [this](const std::string& text) {
    if (Dialogs.Warning)
      Dialogs.Warning(Q(text));
    else
      QMessageBox::warning(this, QApplication::applicationDisplayName(), Q(text));
  };
  FCommands = std::make_unique<TNodeCommands>(FDecTree->Tree(), std::move(host));
}

// ---- The document ----------------------------------------------------------

bool TMainForm::IsModified() const {
  return FUi->FileSaveMenuItem->isEnabled();
}

void TMainForm::SetModified(bool value) {
  FUi->FileSaveMenuItem->setEnabled(value);
  FUi->SaveToolBarButton->setEnabled(value);
  FUi->FileSaveAsMenuItem->setEnabled(true);
}

bool TMainForm::AskYesNo(const QString& text) {
  if (Dialogs.AskYesNo) return Dialogs.AskYesNo(text);
  return QMessageBox::question(this, QApplication::applicationDisplayName(), text,
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool TMainForm::SavePrompt() {
  bool result = true;
  if (IsModified()) {
    QString text = FFileName.empty() ? Q(Str(SAskSave))
                                     : Q(FormatStr(Str(SAskSaveNamed), BaseName(FFileName)));
    int answer;
    if (Dialogs.AskYesNoCancel) {
      answer = Dialogs.AskYesNoCancel(text);
    } else {
      auto button = QMessageBox::question(this, QApplication::applicationDisplayName(), text,
                                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      answer = button == QMessageBox::Yes ? 1 : button == QMessageBox::No ? 0 : -1;
    }
    result = answer == 1 ? SaveFile(false) : answer == 0;
  }
  FCommands->CloneMasterId = Guid::Empty();
  return result;
}

void TMainForm::SetFileName(const std::string& fileName, bool removeOld) {
  if (!FFileName.empty()) {
    if (removeOld)
      FRecentFiles.RemoveFile(FFileName);
    else
      FRecentFiles.AddFile(FFileName);
  }
  FFileName = fileName;
  if (!FFileName.empty()) FRecentFiles.AddFile(FFileName);
  setWindowTitle(Q(Str(SMainCaption) + " - " +
                   (FFileName.empty() ? Str(SNewDecisionTree) : BaseName(FFileName))));
}

void TMainForm::FileNew() {
  if (!SavePrompt()) return;
  TDecTree& tree = FDecTree->Tree();
  // A new tree cannot be undone: both stacks are emptied.
  ClearUndoRedo(true, true);
  ResetToNewTree(tree, UserLocaleCurrency());
  tree.Recalculate();
  SetFileName({}, false);
  FFileIdentity = {};
  SetModified(false);
}

void TMainForm::OpenFile(const std::string& fileName) {
  TDecTree& tree = FDecTree->Tree();
  TBusyCursor busy;
  struct Restore {
    TDecTree& Tree;
    ~Restore() { Tree.Recalculate(); }
  } restore{tree};

  if (!TreeFileExists(fileName)) {
    // A file named on the command line is said once the window shows.
    FStartupQueue.RunWhenShown([this, text = Q(FileNotFoundMessage(fileName))] {
      if (Dialogs.Information)
        Dialogs.Information(text);
      else
        QMessageBox::information(this, QApplication::applicationDisplayName(), text);
    });
    FRecentFiles.RemoveFile(fileName);
    return;
  }
  // A failed open leaves the document as it was, its modified state too.
  const bool wasModified = IsModified();
  SaveUndo(Str(SLoadFile));
  tree.HideInplaceEditor();
  OpenStep(fileName, wasModified, [&] {
    TTreeFileContents contents = ReadTreeFile(fileName, &tree, tree.DefaultFont);
    tree.Options = contents.Options;
    tree.DefaultFont = contents.Font;
    tree.ExchangeRoot(std::move(contents.Root));
    ClearUndoRedo(true, true);
    // Ids the reader had to renew are saved only when the document is.
    SetModified(contents.IdsRenewed);
    SetFileName(fileName, false);
    FFileIdentity = contents.Identity;
    tree.SelectNode(tree.TreeRoot(), htBox);
    tree.Recalculate();
    ScrollToRoot();
    if (tree.TreeRoot()->HasImportedPayoffs())
      // At start-up once the window shows: what it throws is still the
      // open's failure.
      FStartupQueue.RunWhenShown([this, fileName, wasModified] {
        OpenStep(fileName, wasModified, [this] {
          bool check;
          {
            TCursorPause pause; // no hourglass over the question
            check = AskYesNo(Q(Str(SAskCheckExternalData)));
          }
          if (check) FileExternalData();
        });
      });
  });
}

void TMainForm::OpenStep(const std::string& fileName, bool wasModified,
                         const std::function<void()>& step) {
  try {
    step();
  } catch (const Exception& e) {
    OpenFailed(fileName, e.Message(), wasModified);
  } catch (const std::bad_alloc&) {
    OpenFailed(fileName, "Not enough memory to open the file", wasModified);
  } catch (const std::exception& e) {
    OpenFailed(fileName, e.what(), wasModified);
  }
}

void TMainForm::OpenFailed(const std::string& fileName, const std::string& reason,
                           bool wasModified) {
  // Nothing of the file was applied; the undo brings back the tree and
  // options of before, and the document is as modified as it was.
  if (FUndo.CanUndo() && FUndo.UndoMessage() == Str(SLoadFile)) {
    EditUndo();
    SetModified(wasModified);
  }
  ClearUndoRedo(false, true);
  ShowError(Q(OpenErrorMessage(fileName, reason)));
}

void TMainForm::ShowError(const QString& text) {
  FStartupQueue.RunWhenShown([this, text] {
    if (Dialogs.Error)
      Dialogs.Error(text);
    else
      QMessageBox::critical(this, QApplication::applicationDisplayName(), text);
  });
}

void TMainForm::FileExternalData() {
  TDecTree& tree = FDecTree->Tree();
  auto saveUndo = [this](const std::string& caption) { SaveUndo(caption); };
  TCursorPause pause; // the overview shows its own while it reads
  if (Dialogs.ExternalDataOverview)
    Dialogs.ExternalDataOverview(tree, saveUndo);
  else
    TOverviewExternalDataForm::Execute(tree, saveUndo, this);
}

bool TMainForm::SaveFile(bool saveAs) {
  TDecTree& tree = FDecTree->Tree();
  const bool naming = saveAs || FFileName.empty();
  std::string fileName = FFileName;
  if (naming) {
    const TFileDialogFolder folder = DialogFolder(TFileDialogFolder::SaveAs);
    QString proposed = FFileName.empty()
                           ? QDir(Q(folder.Start())).filePath(Q(tree.TreeRoot()->Caption))
                           : Q(FFileName);
    QString name;
    if (Dialogs.SaveFileName) {
      name = Dialogs.SaveFileName(proposed);
    } else {
      QFileDialog dialog(this);
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setNameFilters({"Brantwick Files (*.bwk *.dtr *.BWK *.DTR)", "All files (*)"});
      dialog.setDefaultSuffix("bwk");
      dialog.selectFile(proposed);
      if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        name = dialog.selectedFiles().first();
    }
    if (name.isEmpty()) return false;
    fileName = U(QFileInfo(name).absoluteFilePath());
  }
  // Another window or program may have written the file since this window
  // read or wrote it: its work is not overwritten without a word.
  if (fileName == FFileName && FileChangedSince(fileName, FFileIdentity) &&
      !AskYesNo(Q(ChangedFileQuestion(fileName))))
    return false;
  TFileIdentity written;
  try {
    TBusyCursor busy;
    written = WriteTreeFile(fileName, *tree.TreeRoot(), tree.Options, tree.DefaultFont);
  } catch (const Exception& e) {
    QString text = Q(SaveErrorMessage(e.Message()));
    if (Dialogs.Error)
      Dialogs.Error(text);
    else
      QMessageBox::critical(this, QApplication::applicationDisplayName(), text);
    return false;
  }
  // The window takes the new name, and the dialog its folder, only once the
  // file is written.
  if (naming) {
    SetFileName(fileName, true);
    DialogFolder(TFileDialogFolder::SaveAs).Remember(fileName);
  }
  FFileIdentity = written;
  SetModified(false);
  return true;
}

// ---- Undo and redo ---------------------------------------------------------

void TMainForm::SaveUndo(const std::string& undoMessage) {
  TDecTree& tree = FDecTree->Tree();
  FUndo.SaveUndo(*tree.TreeRoot(), tree.Options, undoMessage);
  UpdateUndoRedo();
  SetModified(true);
}

void TMainForm::ClearUndoRedo(bool clearUndo, bool clearRedo) {
  FUndo.Clear(clearUndo, clearRedo);
  UpdateUndoRedo();
}

void TMainForm::UpdateUndoRedo() {
  FUi->EditUndoMenuItem->setEnabled(FUndo.CanUndo());
  FUi->EditUndoMenuItem->setText(Q(FUndo.UndoCaption()));
  FUi->UndoToolButton->setEnabled(FUndo.CanUndo());
  FUi->EditRedoMenuItem->setEnabled(FUndo.CanRedo());
  FUi->EditRedoMenuItem->setText(Q(FUndo.RedoCaption()));
  FUi->RedoToolButton->setEnabled(FUndo.CanRedo());
}

void TMainForm::EditUndo() {
  ExchangeWithHistory(true);
}

void TMainForm::EditRedo() {
  ExchangeWithHistory(false);
}

void TMainForm::ExchangeWithHistory(bool undo) {
  if (undo ? !FUndo.CanUndo() : !FUndo.CanRedo()) return;
  TDecTree& tree = FDecTree->Tree();
  TTreeOptions options = tree.Options;
  auto live = tree.ExchangeRoot(nullptr);
  tree.ExchangeRoot(undo ? FUndo.Undo(std::move(live), options)
                         : FUndo.Redo(std::move(live), options));
  tree.Options = options;
  UpdateUndoRedo();
  tree.Recalculate();
  SetModified(true);
}

// ---- View, levels, status --------------------------------------------------

void TMainForm::DecTreeCalculated() {
  TDecTree& tree = FDecTree->Tree();
  const TDecTreeNode* root = tree.TreeRoot();
  if (!root) return;
  QString texts[3];
  if (tree.Options.ShowPayoff) {
    texts[0] = Q(Str(SMin) + tree.FormatMoney(DoubleToCurrencySaturated(root->MinValue)));
    texts[1] = Q(Str(SCurrent) + tree.FormatMoney(DoubleToCurrencySaturated(root->Value)));
    texts[2] = Q(Str(SMax) + tree.FormatMoney(DoubleToCurrencySaturated(root->MaxValue)));
  } else {
    texts[0] = texts[1] = texts[2] = "    ";
  }
  for (int i = 0; i < 3; ++i) {
    FPanels[i]->setText(texts[i]);
    FPanels[i]->setFixedWidth(FPanels[i]->fontMetrics().horizontalAdvance(texts[i]) + 8);
  }
  // A multi-decision too wide to search is valued as a fixed one: say so.
  if (FindUnsolvedMultiDecision(*root))
    FHintPanel->ShowHint(Q(UIStringsComponent::Str(UIStringsComponent::STooManyOptions)));
}

void TMainForm::SwitchMode(bool business) {
  TDecTree& tree = FDecTree->Tree();
  // The menu has already moved its check mark: judge by the tree's mode.
  if (tree.Options.ShowPayoff == business) return;
  SaveUndo(Str(SUndoSwitchMode));
  tree.Options.ShowPayoff = business;
  tree.Recalculate();
}

void TMainForm::ToggleHighlightClones() {
  TDecTree& tree = FDecTree->Tree();
  SaveUndo(Str(SUndoToggleHighlightClones));
  tree.Options.HighlightClones = !tree.Options.HighlightClones;
  FUi->ViewHighlightclonesMenuItem->setChecked(tree.Options.HighlightClones);
  tree.Recalculate();
}

void TMainForm::LevelsPopupMenuPopup() {
  FLevelsPopupMenu->clear();
  const int levels = FDecTree->Tree().Levels();
  for (int level = 1; level <= levels; ++level) {
    QAction* item = FLevelsPopupMenu->addAction(Q(FormatStr(Str(SLevel), level)));
    item->setData(level);
    connect(item, &QAction::triggered, this, Command([this, level] {
              SaveUndo(Str(SUndoExpandCollapseLevels));
              FDecTree->Tree().SetVisibleLevels(level);
              DrawLevelsGlyph(level);
            }));
  }
}

void TMainForm::DrawLevelsGlyph(int level) {
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setPen(Qt::black);
    QString text = QString::number(level);
    QFontMetrics metrics(painter.font());
    painter.drawText((16 - metrics.horizontalAdvance(text)) / 2,
                     (16 - metrics.height()) / 2 + metrics.ascent(), text);
  }
  // White is the transparent colour.
  QPixmap pixmap = QPixmap::fromImage(image);
  pixmap.setMask(pixmap.createMaskFromColor(Qt::white));
  FLevelsToolButton->setIcon(QIcon(pixmap));
  FLevelsToolButton->setProperty("level", level);
}

void TMainForm::PopupMenuPopup() {
  TDecTree& tree = FDecTree->Tree();
  tree.HideInplaceEditor();
  const TNodePopupState state = NodePopupState(tree);
  auto item = [this](const char* name) { return FPopupMenu->findChild<QAction*>(name); };
  item(PopupItemName(TNodeCommand::Edit))->setText(Q(state.EditCaption));
  item(PopupItemName(TNodeCommand::AddChild))->setText(Q(state.AddCaption));
  item(PopupItemName(TNodeCommand::TakeOption))->setText(Q(state.TakeOptionCaption));
  for (int i = 0; i < NodeCommandCount; ++i) {
    const auto command = static_cast<TNodeCommand>(i);
    item(PopupItemName(command))->setEnabled(state.IsEnabled(command));
  }
  if (state.CheckedType)
    for (int i = 0; i < NodeTypeItemCount; ++i) {
      const auto type = static_cast<TNodeTypeItem>(i);
      item(PopupTypeItemName(type))->setChecked(type == *state.CheckedType);
    }
}

// ---- Printing ----------------------------------------------------------------

void TMainForm::FilePrint() {
  TPrintSettings print;
  {
    TSettings settings(FStore);
    print = MakePrintSettings(settings.Landscape, settings.PageMargins);
  }
  const TFileDialogFolder pdf = DialogFolder(TFileDialogFolder::PrintPdf);
  print.ProposedPdf = pdf.ProposedFile(FDecTree->Tree().TreeRoot()->Caption, ".pdf");
  TPrintWindowDialogs dialogs = PrintDialogs;
  if (!dialogs.Help) dialogs.Help = [this] { OpenHelp(); };
  ShowPrintPreview(*this, print, dialogs);
  if (!print.PrintedPdf.empty()) pdf.Remember(print.PrintedPdf);
  // Loaded afresh: whatever else was saved while the window was open stays.
  TSettings settings(FStore);
  settings.PageMargins = print.Margins;
  settings.Landscape = print.Landscape;
  settings.Save();
}

void TMainForm::PrintTo(TPrintPreview& preview, const TPageMargins& margins, bool showMargins) {
  PrintTreeTo(preview, FDecTree->Tree(), margins, showMargins, IsMetricLocale());
}

// ---- Recent files, help, drops, wheel, closing ------------------------------

void TMainForm::UpdateRecentFileMenu() {
  QMenu* menu = FUi->FileMenuItem;
  for (QAction* a : FHistoryActions) {
    menu->removeAction(a);
    a->deleteLater();
  }
  FHistoryActions.clear();
  const auto& files = FRecentFiles.Files();
  for (int i = 0; i < static_cast<int>(files.size()); ++i) {
    auto* entry = new QAction(Q(FRecentFiles.MenuCaption(i)), menu);
    entry->setObjectName(QString("FileHistory%1").arg(i));
    // The path itself, not parsed back from the caption.
    entry->setData(Q(files[static_cast<size_t>(i)]));
    connect(entry, &QAction::triggered, this,
            Command([this, entry] { OpenDroppedOrRecent(U(entry->data().toString())); }));
    menu->insertAction(FUi->FileExitMenuItem, entry);
    FHistoryActions.push_back(entry);
  }
  if (!files.empty()) {
    auto* separator = new QAction(menu);
    separator->setSeparator(true);
    separator->setObjectName("FileHistorySep");
    menu->insertAction(FUi->FileExitMenuItem, separator);
    FHistoryActions.push_back(separator);
  }
}

void TMainForm::OpenDroppedOrRecent(const std::string& fileName) {
  FDecTree->Tree().HideInplaceEditor();
  if (SavePrompt()) OpenFile(fileName);
}

void TMainForm::OpenHelp() {
  // The help file beside the program, shown by whatever the desktop opens it
  // with. A missing file, or one the desktop cannot open, is said.
  const QString file = QCoreApplication::applicationDirPath() + "/Brantwick.chm";
  if (QFileInfo(file).isFile() && QDesktopServices::openUrl(QUrl::fromLocalFile(file))) return;
  ShowError(Q(FormatStr(Str(SHelpNotOpened), U(file))));
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  Guarded([&] {
    for (const QUrl& url : event->mimeData()->urls())
      if (url.isLocalFile()) return event->acceptProposedAction();
  });
}

void TMainForm::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  Guarded([&] { OpenDroppedFiles(*event->mimeData()); });
}

void TMainForm::OpenDroppedFiles(const QMimeData& data) {
  const QList<QUrl> urls = data.urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  OpenDroppedOrRecent(U(QFileInfo(urls.first().toLocalFile()).absoluteFilePath()));
}

bool TMainForm::Wheel(QWheelEvent* event) {
  // A purely sideways or pixel-only turn has no vertical steps: leave it.
  const int delta = event->angleDelta().y();
  if (delta == 0) return false;
  QScrollBar* bar = event->modifiers().testFlag(Qt::ShiftModifier)
                        ? FUi->ScrollBox->horizontalScrollBar()
                        : FUi->ScrollBox->verticalScrollBar();
  if (bar->isVisible()) bar->setValue(bar->value() + (delta > 0 ? -40 : 40));
  return true;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  bool handled = false;
  Guarded([&] {
    if (event->type() == QEvent::Wheel &&
        (watched == FDecTree || watched == FUi->ScrollBox->viewport())) {
      handled = Wheel(static_cast<QWheelEvent*>(event));
      return;
    }
    if (watched == FUi->ScrollBox->viewport()) {
      if (event->type() == QEvent::Resize) {
        QSize size = FUi->ScrollBox->viewport()->size();
        FDecTree->Tree().SetMinWidth(size.width());
        FDecTree->Tree().SetMinHeight(size.height());
      } else if (event->type() == QEvent::MouseButtonPress) {
        FDecTree->Tree().HideInplaceEditor();
      }
    }
    if (event->type() == QEvent::Enter)
      for (int i = 0; i < 3; ++i)
        if (watched == FPanels[i]) FHintPanel->ShowHint({});
  });
  return handled || QMainWindow::eventFilter(watched, event);
}

bool TMainForm::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    // The long hint goes to the last panel; the panels stay. While the
    // in-place editor is red its error stands there, and comes back when a
    // hint that covered it goes.
    Guarded([&] {
      FHintPanel->SetStandingText(FDecTree->InplaceEdit()->isVisible() ? FDecTree->EditorError()
                                                                       : QString());
      FHintPanel->ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
    });
    return true;
  }
  return QMainWindow::event(event);
}

void TMainForm::ScrollToRoot() {
  const TNodeRect& box = FDecTree->Tree().TreeRoot()->Rect(htBox);
  FUi->ScrollBox->ensureVisible(box.Left, box.Top + box.Height / 2, 50,
                                FUi->ScrollBox->viewport()->height() / 3);
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The viewport has its real size only now.
  if (!event->spontaneous()) Guarded([this] { ScrollToRoot(); });
  if (!FStartupUpgradeQueued) QueueStartupUpgradeCalls();
  FStartupQueue.WindowShown();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // The window stays open unless the prompt lets it go: a failure in the
  // prompt loses nothing.
  event->ignore();
  Guarded([&] {
    FDecTree->Tree().HideInplaceEditor();
    if (!SavePrompt()) return;
    FRecentFiles.Save();
    event->accept();
  });
}

} // namespace bw
