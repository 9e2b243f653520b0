// The main window's commands that open the dialogs.
#include "app/MainForm.h"
#include "app/dialogs/AboutForm.h"
#include "app/dialogs/DialogCommands.h"
#include "app/dialogs/EditPayoffForm.h"
#include "app/dialogs/FormatNodeForm.h"
#include "app/dialogs/ImportExternalForm.h"
#include "app/dialogs/TreePropertiesForm.h"
#include "foundation/ErrorReport.h"
#include "ui_MainForm.h"

namespace bw {

void TMainForm::ConnectDialogCommands() {
  auto on = [this](QAction* action, auto body) {
    connect(action, &QAction::triggered, this, Command(body));
  };
  const TSaveUndo saveUndo = [this](const std::string& caption) { SaveUndo(caption); };
  TDecTree& tree = FDecTree->Tree();

  // The payoff dialog's Import row picks a workbook cell or name in the
  // import dialog.
  TEditPayoffForm::ImportExternalDialog = [this](const std::string& reference, int decimals) {
    TImportExternalDialogResult result;
    TImportExternalForm::Execute(reference, decimals, result, this,
                                 DialogFolder(TFileDialogFolder::Workbook));
    return result;
  };

  // The control asks for the dialog itself: for this item, and whenever a
  // payoff with a source is edited.
  on(FPopupMenu->findChild<QAction*>("PopupEditPayoffAdvancedMenuItem"),
     [&tree] { tree.EditElement(true, 0); });
  tree.OnAdvancedEdit = [this, saveUndo](TDecTree& sender, TDecTreeNode* node,
                                         TNodeElementType type) {
    Guarded([&] {
      AdvancedEditPayoff(sender, node, type, saveUndo,
                         [this](const std::string& source, int decimals, Currency payoff,
                                const std::string& symbol) {
                           TEditPayoffDialogResult result;
                           TEditPayoffForm::Execute(source, decimals, result, payoff, this, symbol);
                           return result;
                         });
    });
  };
  on(FPopupMenu->findChild<QAction*>("PopupCommentMenuItem"), [this, &tree, saveUndo] {
    ChangeComment(tree, saveUndo, [this](const std::string& comment) {
      TCommentDialogResult result;
      EditComment(comment, result, this);
      return result;
    });
  });
  on(FUi->FilePropertiesMenuItem,
     [this, &tree, saveUndo] { TTreePropertiesForm::Execute(tree, FFileName, saveUndo, this); });
  on(FUi->HelpAboutMenuItem, [] { ShowAboutBox(); });

  // Edit > Format...: a dialog that applies nothing yet, so its item is
  // never shown.
  auto* format = new QAction("Format...", this);
  format->setObjectName("EditFormatMenuItem");
  format->setVisible(false);
  FUi->EditMenuItem->addAction(format);
  on(format, [this] {
    TFormatNodeForm form(this);
    form.exec();
  });
}

} // namespace bw
