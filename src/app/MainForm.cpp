#include "app/MainForm.h"

#include "app/core/CurrencyLayout.h"
#include "app/core/UIStrings.h"
#include "foundation/Conversions.h"
#include "model/MultiOptionSolver.h"
#include "model/UIStringsComponent.h"
#include "treefile/TreeFile.h"
#include "ui_MainForm.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QUrl>
#include <QWheelEvent>

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

// The pictures of the menus and tool buttons, by their index.
QIcon ToolbarImage(int index) {
  QStyle* style = QApplication::style();
  switch (index) {
  case 0:
    return QIcon::fromTheme("edit-undo", style->standardIcon(QStyle::SP_ArrowBack));
  case 1:
    return QIcon::fromTheme("edit-redo", style->standardIcon(QStyle::SP_ArrowForward));
  case 2:
    return QIcon::fromTheme("document-open", style->standardIcon(QStyle::SP_DialogOpenButton));
  case 3:
    return QIcon::fromTheme("document-save", style->standardIcon(QStyle::SP_DialogSaveButton));
  case 4:
    return QIcon::fromTheme("document-print", style->standardIcon(QStyle::SP_ComputerIcon));
  case 5:
    return QIcon::fromTheme("image-x-generic",
                            style->standardIcon(QStyle::SP_FileDialogContentsView));
  case 6:
    return QIcon::fromTheme("edit-copy", style->standardIcon(QStyle::SP_FileLinkIcon));
  case 7:
    return QIcon::fromTheme("help-contents", style->standardIcon(QStyle::SP_DialogHelpButton));
  case 8:
    return QIcon::fromTheme("document-new", style->standardIcon(QStyle::SP_FileIcon));
  case 9:
    return QIcon::fromTheme("system-run", style->standardIcon(QStyle::SP_MediaPlay));
  case 14:
    return QIcon::fromTheme("go-up", style->standardIcon(QStyle::SP_ArrowUp));
  case 15:
    return QIcon::fromTheme("go-down", style->standardIcon(QStyle::SP_ArrowDown));
  case 16:
    return QIcon::fromTheme("document-edit",
                            style->standardIcon(QStyle::SP_FileDialogDetailedView));
  case 17:
    return QIcon::fromTheme("edit-delete", style->standardIcon(QStyle::SP_TrashIcon));
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

bool IsIndicatorType(TNodeElementType t) {
  return t == htIndicator || (t >= htIndicatorCaption && t <= htIndicatorFixed);
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

  // Commands that come with later parts of the program.
  for (QAction* a :
       {FUi->FileExportPictureMenuItem, FUi->FileExternalDataMenuItem, FUi->FilePropertiesMenuItem,
        FUi->FilePrintMenuItem, FUi->EditCopyPictureMenuItem, FUi->EditOptimizeWholeMenuItem,
        FUi->ToolsCheckUpdatesMenuItem, FUi->ToolsOptionsMenuItem, FUi->HelpAboutMenuItem,
        FUi->ExportPictureToolButton, FUi->PrintToolButton, FUi->CopyPictureToolButton,
        FUi->OptimizeDecisionsToolButton})
    a->setEnabled(false);

  CreateStatusPanels();
  CreatePopupMenus();

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
  ConnectCommands();

  FileNew();
  FRecentFiles.RegKey = RegKeyPath;
  FRecentFiles.Initialize();
  if (!commandLineFile.isEmpty()) {
    // Absolute, so that the recent-file list never holds a name that breaks
    // when the program starts from another folder.
    OpenFile(U(QFileInfo(commandLineFile).absoluteFilePath()));
  }
}

TMainForm::~TMainForm() {
  ClearUndoRedo(true, true);
}

void TMainForm::CreateStatusPanels() {
  const char* texts[] = {"Minimum", "Current", "Maximum", ""};
  const int widths[] = {120, 130, 120, 50};
  const Id hints[] = {SHintMin, SHintCurrent, SHintMax};
  for (int i = 0; i < 4; ++i) {
    auto* panel = new QLabel(texts[i], this);
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
        if (&t != &TypeItems[3]) group->addAction(ta);
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
  connect(FPopupMenu, &QMenu::aboutToShow, this, &TMainForm::PopupMenuPopup);

  FLevelsPopupMenu = new QMenu(this);
  FLevelsPopupMenu->setObjectName("LevelsPopupMenu");
  connect(FLevelsPopupMenu, &QMenu::aboutToShow, this, &TMainForm::LevelsPopupMenuPopup);
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
  auto on = [this](QAction* a, auto f) { connect(a, &QAction::triggered, this, f); };
  auto open = [this] {
    FDecTree->Tree().HideInplaceEditor();
    if (!SavePrompt()) return;
    QString name =
        Dialogs.OpenFileName
            ? Dialogs.OpenFileName()
            : QFileDialog::getOpenFileName(
                  this, {}, {}, "Brantwick Files (*.bwk *.dtr *.BWK *.DTR);;All files (*)");
    if (!name.isEmpty()) OpenFile(U(QFileInfo(name).absoluteFilePath()));
  };
  on(FUi->FileNewMenuItem, [this] { FileNew(); });
  on(FUi->NewToolButton, [this] { FileNew(); });
  on(FUi->FileOpenMenuItem, open);
  on(FUi->OpenToolButton, open);
  on(FUi->FileSaveMenuItem, [this] { SaveFile(false); });
  on(FUi->SaveToolBarButton, [this] { SaveFile(false); });
  on(FUi->FileSaveAsMenuItem, [this] { SaveFile(true); });
  on(FUi->FileExitMenuItem, [this] { close(); });
  on(FUi->EditUndoMenuItem, [this] { EditUndo(); });
  on(FUi->UndoToolButton, [this] { EditUndo(); });
  on(FUi->EditRedoMenuItem, [this] { EditRedo(); });
  on(FUi->RedoToolButton, [this] { EditRedo(); });
  on(FUi->ViewBusinessmodeMenuItem, [this] { SwitchMode(true); });
  on(FUi->ViewDontshowpayoffMenuItem, [this] { SwitchMode(false); });
  on(FUi->ViewHighlightclonesMenuItem, [this] { ToggleHighlightClones(); });
  on(FUi->HelpHelpMenuItem, [this] { OpenHelp(); });
  connect(FUi->ViewMenuItem, &QMenu::aboutToShow, this, [this] {
    // Undo changes the options behind the menu's back.
    const TTreeOptions& o = FDecTree->Tree().Options;
    FUi->ViewHighlightclonesMenuItem->setChecked(o.HighlightClones);
    FUi->ViewBusinessmodeMenuItem->setChecked(o.ShowPayoff);
    FUi->ViewDontshowpayoffMenuItem->setChecked(!o.ShowPayoff);
  });
  connect(FUi->FileMenuItem, &QMenu::aboutToShow, this, &TMainForm::UpdateRecentFileMenu);

  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, &TMainForm::OpenHelp);

  TDecTree& tree = FDecTree->Tree();
  on(FPopupMenu->findChild<QAction*>("PopupEditMenuItem"), [&tree] { tree.EditElement(false, 0); });
  on(FPopupMenu->findChild<QAction*>("PopupAddChildMenuItem"),
     [&tree] { tree.AddSubnodes(false); });
  on(FPopupMenu->findChild<QAction*>("PopupRemoveMenuItem"),
     [&tree] { tree.DeleteSelectedNodes(true); });
  on(FPopupMenu->findChild<QAction*>("PopupTakeOptionMenuItem"), [&tree] {
    TNodeElementType saved = tree.SelectionElementType;
    tree.SelectionElementType = htProbability;
    tree.EditElement(false, 0);
    tree.SelectionElementType = saved;
  });
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
  FCloneMasterId = Guid::Empty();
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
  tree.HideInplaceEditor();
  ClearUndoRedo(true, true);
  // The root object itself is kept and reset: its id, comment, probability
  // and expansion stay.
  TDecTreeNode* root = tree.TreeRoot();
  root->Children.Clear();
  root->Caption = Str(SNewDecisionTree);
  root->NodeType = ntDecision;
  root->Ref = Guid::Empty();
  root->DecisionCaption.clear();
  root->DecisionOwner.clear();
  root->DecisionDueDate = 0;
  root->DecisionFixed = false;
  root->DecisionMultiBudget = -1;
  root->DecisionShowCaption = root->DecisionShowOwner = root->DecisionShowDueDate = false;
  root->DecisionShowFixed = root->DecisionMultiShowBudget = false;
  root->DecisionMultiShowInvestment = false;
  root->Payoff = 0;
  root->PayoffSource.clear();

  QLocale locale = QLocale();
  TTreeOptions& o = tree.Options;
  o.StatusDate = 0;
  o.OutlineCodes = true;
  o.CurrencySymbol = U(locale.currencySymbol(QLocale::CurrencySymbol));
  QString one = locale.toCurrencyString(1.0), minusOne = locale.toCurrencyString(-1.0);
  qsizetype point = one.indexOf(locale.decimalPoint());
  int decimals = 0;
  if (point >= 0)
    while (point + 1 + decimals < one.size() && one[point + 1 + decimals].isDigit())
      ++decimals;
  o.CurrencyDecimals = decimals;
  TCurrencyLayout layout = MatchCurrencyLayout(U(one), U(minusOne), o.CurrencySymbol);
  o.CurrencyPosFormat = layout.PosFormat;
  o.CurrencyNegFormat = layout.NegFormat;
  o.HighlightClones = true;
  o.ShowPayoff = true;
  tree.Recalculate();
  SetFileName({}, false);
  SetModified(false);
}

void TMainForm::OpenFile(const std::string& fileName) {
  TDecTree& tree = FDecTree->Tree();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct Restore {
    TDecTree& Tree;
    ~Restore() {
      QApplication::restoreOverrideCursor();
      Tree.Recalculate();
    }
  } restore{tree};

  if (!TreeFileExists(fileName)) {
    QString text = Q(FileNotFoundMessage(fileName));
    if (Dialogs.Information)
      Dialogs.Information(text);
    else
      QMessageBox::information(this, QApplication::applicationDisplayName(), text);
    FRecentFiles.RemoveFile(fileName);
    return;
  }
  SaveUndo(Str(SLoadFile));
  tree.HideInplaceEditor();
  try {
    TTreeFileContents contents = ReadTreeFile(fileName, &tree, tree.DefaultFont);
    tree.Options = contents.Options;
    tree.DefaultFont = contents.Font;
    tree.ExchangeRoot(std::move(contents.Root));
    ClearUndoRedo(true, true);
    // Ids the reader had to renew are saved only when the document is.
    SetModified(contents.IdsRenewed);
    SetFileName(fileName, false);
    tree.SelectNode(tree.TreeRoot(), htBox);
    tree.Recalculate();
    ScrollToRoot();
    if (tree.TreeRoot()->HasImportedPayoffs()) {
      // The external-data overview comes with the spreadsheet import; until
      // then the question is asked and its answer has nothing to open.
      QString question = Q(Str(SAskCheckExternalData));
      if (Dialogs.AskYesNo)
        Dialogs.AskYesNo(question);
      else
        QMessageBox::question(this, QApplication::applicationDisplayName(), question,
                              QMessageBox::Yes | QMessageBox::No);
    }
  } catch (const Exception& e) {
    OpenFailed(fileName, e.Message());
  } catch (const std::bad_alloc&) {
    OpenFailed(fileName, "Not enough memory to open the file");
  } catch (const std::exception& e) {
    OpenFailed(fileName, e.what());
  }
}

void TMainForm::OpenFailed(const std::string& fileName, const std::string& reason) {
  // Nothing of the file was applied; the undo brings back the tree and
  // options of before and marks the document modified, as any undo does.
  if (FUndo.CanUndo() && FUndo.UndoMessage() == Str(SLoadFile)) EditUndo();
  ClearUndoRedo(false, true);
  QString text = Q(OpenErrorMessage(fileName, reason));
  if (Dialogs.Error)
    Dialogs.Error(text);
  else
    QMessageBox::critical(this, QApplication::applicationDisplayName(), text);
}

bool TMainForm::SaveFile(bool saveAs) {
  TDecTree& tree = FDecTree->Tree();
  tree.HideInplaceEditor();
  if (saveAs || FFileName.empty()) {
    QString proposed = Q(FFileName.empty() ? tree.TreeRoot()->Caption : FFileName);
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
    SetFileName(U(QFileInfo(name).absoluteFilePath()), true);
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  try {
    WriteTreeFile(FFileName, *tree.TreeRoot(), tree.Options, tree.DefaultFont);
  } catch (const Exception& e) {
    QApplication::restoreOverrideCursor();
    QString text = Q(SaveErrorMessage(e.Message()));
    if (Dialogs.Error)
      Dialogs.Error(text);
    else
      QMessageBox::critical(this, QApplication::applicationDisplayName(), text);
    return false;
  }
  QApplication::restoreOverrideCursor();
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
  tree.HideInplaceEditor();
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
    FPanels[3]->setText(Q(UIStringsComponent::Str(UIStringsComponent::STooManyOptions)));
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
    connect(item, &QAction::triggered, this, [this, level] {
      SaveUndo(Str(SUndoExpandCollapseLevels));
      FDecTree->Tree().SetVisibleLevels(level);
      DrawLevelsGlyph(level);
    });
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
  TDecTreeNodeDynArray nodes = tree.GetSelectedNodes();
  const size_t n = nodes.size();
  const TNodeElementType e = tree.SelectionElementType;
  auto item = [this](const char* name) { return FPopupMenu->findChild<QAction*>(name); };

  Id editCaption = SEdit;
  switch (e) {
  case htBox:
    editCaption = SEditTitle;
    break;
  case htProbability:
    editCaption = SEditProbability;
    break;
  case htPayoff:
    editCaption = SEditPayoff;
    break;
  case htIndicatorCaption:
    editCaption = SEditCaption;
    break;
  case htIndicatorOwner:
    editCaption = SEditDecisionOwner;
    break;
  case htIndicatorMultiBudget:
    editCaption = SEditBudget;
    break;
  case htIndicatorDueDate:
    editCaption = SEditDecisionDueDate;
    break;
  case htIndicatorFixed:
    editCaption = SToggleMode;
    break;
  default:
    break;
  }
  item("PopupEditMenuItem")->setText(Q(Str(editCaption)));

  bool isClone = false, inClone = false;
  for (const TDecTreeNode* node : nodes) {
    isClone |= node->IsClone();
    inClone |= node->HasCloneAncestor();
  }
  const TDecTreeNode* one = n == 1 ? nodes[0] : nullptr;
  const bool oneWithChildren = one && one->ChildCount() > 0;
  Id add = SAdd;
  if (n == 0)
    add = SAdd;
  else if (e == htBox)
    add = oneWithChildren ? SAddSubnode : SAddSubnodes;
  else if (IsIndicatorType(e))
    add = oneWithChildren ? SAddBranch : SAddBranches;
  item("PopupAddChildMenuItem")->setText(Q(Str(add)));

  item("PopupEditMenuItem")->setEnabled(tree.CanEditSelection());
  item("PopupRemoveMenuItem")->setEnabled(tree.CanDeleteSelection());
  item("PopupAddChildMenuItem")
      ->setEnabled((e == htBox || IsIndicatorType(e)) && n == 1 && !inClone && !isClone);
  const bool takeOption = one && one->Parent && one->Parent->IsDecisionType() && !inClone;
  item("PopupTakeOptionMenuItem")->setEnabled(takeOption);
  item("PopupTakeOptionMenuItem")
      ->setText(Q(Str(takeOption && one->Parent->NodeType == ntMultiDecision ? SToggleThisOption
                                                                             : STakeThisOption)));
  // The other node commands come with a later part of the program.
  for (const char* name :
       {"PopupEditPayoffAdvancedMenuItem", "PopupMoveUpMenuItem", "PopupMoveDownMenuItem",
        "PopupTypeMenuItem", "PopupTakeThisPathMenuItem", "PopupDefineAsCloneMasterMenuItem",
        "PopupDefineAsCloneOfMenuItem", "PopupUnlinkCloneMenuItem",
        "PopupOptimizeSubnodeDecisionsMenuItem", "PopupCommentMenuItem"})
    item(name)->setEnabled(false);
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
            [this, entry] { OpenDroppedOrRecent(U(entry->data().toString())); });
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
  // The help file beside the program; whether anything can show it is the
  // desktop's affair.
  QDesktopServices::openUrl(
      QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + "/Brantwick.chm"));
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) return event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  OpenDroppedFiles(*event->mimeData());
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
  if (event->type() == QEvent::Wheel &&
      (watched == FDecTree || watched == FUi->ScrollBox->viewport()))
    return Wheel(static_cast<QWheelEvent*>(event));
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
      if (watched == FPanels[i]) FPanels[3]->clear();
  return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    // The long hint goes to the last panel; the panels stay.
    FPanels[3]->setText(static_cast<QStatusTipEvent*>(event)->tip());
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
  if (!event->spontaneous()) ScrollToRoot();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  FDecTree->Tree().HideInplaceEditor();
  if (!SavePrompt()) {
    event->ignore();
    return;
  }
  FRecentFiles.Save();
  event->accept();
}

} // namespace bw
