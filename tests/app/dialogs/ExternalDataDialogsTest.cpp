// The spreadsheet import dialog driven step by step, and the external-data
// overview, on workbooks the tests write.
#include "app/dialogs/ExternalDataText.h"
#include "app/dialogs/ImportExternalForm.h"
#include "app/dialogs/OverviewExternalDataForm.h"
#include "app/dialogs/WorksheetGridModel.h"
#include "control/DecTree.h"
#include "platform/registry/MemoryRegistry.h"
#include "platform/workbook/Workbook.h"
#include "support/WhenModal.h"
#include "support/Workbooks.h"
#include "ui_ImportExternalForm.h"
#include "ui_OverviewExternalDataForm.h"

#include <xlsxwriter.h>

#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace bw;
using namespace bw::test;

namespace {

// Prices: A1 1234.567, B12 0.09375, C3 "Widget", D4 1E20; a sheet with
// nothing; names of one cell, of a range and of a constant.
void WritePrices(const std::string& path, bool names = true) {
  WriteXlsx(path, [names](lxw_workbook* book) {
    lxw_worksheet* s = workbook_add_worksheet(book, "Prices");
    workbook_add_worksheet(book, "Blank");
    worksheet_write_number(s, 0, 0, 1234.567, nullptr);
    worksheet_write_number(s, 11, 1, 0.09375, nullptr);
    worksheet_write_string(s, 2, 2, "Widget", nullptr);
    worksheet_write_number(s, 3, 3, 1E20, nullptr);
    if (!names) return;
    workbook_define_name(book, "Rate", "=Prices!$A$1");
    workbook_define_name(book, "Prices!Local", "=Prices!$B$12");
    workbook_define_name(book, "TaxRate", "=0.19");
    workbook_define_name(book, "Block", "=Prices!$A$1:$B$2");
    workbook_define_name(book, "Sum", "=SUM(Prices!$A$1:$B$2)");
  });
}

// The dialog with its windows answered by the test.
struct Dialog {
  TImportExternalForm Form;
  // The error boxes shown, in order.
  QStringList Told;
  QString Chosen;
  Ui::TImportExternalForm& U = Form.Form();

  Dialog() {
    Form.Decimals = 2;
    Form.Dialogs.ChooseFile = [this](const QString&) { return Chosen; };
    Form.Dialogs.Error = [this](const QString& t) { Told << "error: " + t; };
    Form.show();
  }
  void Choose(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
  }
  void OpenFile(const std::string& path) {
    Choose(U.cboDatasource, 0);
    Chosen = QString::fromStdString(path);
    QTest::mouseClick(U.btnExcelChooseFile, Qt::LeftButton);
  }
  QStringList Items(QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
      items << list->itemText(i);
    return items;
  }
};

std::string Call(const std::string& path, const std::string& address) {
  return "Excel(\"" + path + "\", \"" + address + "\")";
}

} // namespace

TEST(ExternalDataTexts, ValueTextsAreReadWithoutGroupSeparators) {
  EXPECT_EQ(NumberText(-0.0, 2), "0.00");
  double v = 0;
  EXPECT_TRUE(ReadNumberText("1,234.57", v));
  EXPECT_EQ(v, 1234.57);
  EXPECT_TRUE(ReadNumberText(" -0.5", v));
  EXPECT_EQ(v, -0.5);
  for (const char* bad : {"", "True", "inf", "nan", "File not found", "1.2.3"})
    EXPECT_FALSE(ReadNumberText(bad, v)) << bad;
  EXPECT_EQ(CellValueText({TCellKind::Boolean, 1, "True"}, 2), "True");
  EXPECT_EQ(CellValueText({TCellKind::Error, 0, "#N/A"}, 2), "#N/A");
  EXPECT_EQ(CellValueText({}, 2), "");
}

TEST(ImportDialog, ANamedCellInFiveSteps) {
  TTempFolder dir;
  std::string path = dir.File("prices.xlsx");
  WritePrices(path);
  Dialog d;
  Ui::TImportExternalForm& u = d.U;
  EXPECT_EQ(d.Form.Step(), 1);
  EXPECT_TRUE(u.lbl1Datasource->font().bold());
  EXPECT_FALSE(u.lbl2Workbook->isEnabled());
  EXPECT_FALSE(u.btnExcelChooseFile->isEnabled());
  EXPECT_EQ(u.cboDatasource->currentIndex(), -1);

  d.Choose(u.cboDatasource, 0);
  EXPECT_EQ(d.Form.Step(), 2);
  EXPECT_TRUE(u.btnExcelChooseFile->isEnabled());
  EXPECT_FALSE(u.lbl1Datasource->font().bold());
  EXPECT_TRUE(u.lbl2Workbook->font().bold());
  EXPECT_FALSE(u.nbkExcelAddressType->isVisible());

  d.OpenFile(path);
  // Names of one cell only: the range, the constant and the formula are
  // left out rather than stopping the loading.
  EXPECT_EQ(d.Items(u.cboExcelNamedCell), (QStringList{"Prices!Local: Prices!B12 (Value=0.09)",
                                                       "Rate: Prices!A1 (Value=1,234.57)"}))
      << d.Items(u.cboExcelNamedCell).join(" | ").toStdString();
  EXPECT_EQ(d.Items(u.cboExcelWorksheets), (QStringList{"Prices", "Blank (empty)"}));
  EXPECT_TRUE(u.radExcelNamedCell->isChecked());
  EXPECT_EQ(d.Form.Step(), 4);
  EXPECT_TRUE(u.lbl4ExcelNamedCell->font().bold() && u.lbl4ExcelWorksheets->font().bold());

  d.Choose(u.cboExcelNamedCell, 1);
  EXPECT_EQ(d.Form.Step(), 5);
  QTest::mouseClick(u.btnOK, Qt::LeftButton);
  EXPECT_EQ(d.Form.Reference(), Call(path, "Rate"));
}

TEST(ImportDialog, TheChooserStartsAtTheWorkbookElseBesideTheTreeAndKeepsItsFolder) {
  TTempFolder dir;
  const std::string path = dir.File("prices.xlsx");
  WritePrices(path);
  std::filesystem::create_directory(dir.Path() / "trees");
  MemoryRegistryStore store;
  Dialog d;
  QStringList starts;
  d.Form.Dialogs.ChooseFile = [&](const QString& start) {
    starts << start;
    return d.Chosen;
  };
  d.Form.WorkbookFolder =
      TFileDialogFolder(store, TFileDialogFolder::Workbook, dir.File("trees/shop.bwk"));
  d.OpenFile(path);
  QTest::mouseClick(d.U.btnExcelChooseFile, Qt::LeftButton);
  EXPECT_EQ(starts,
            QStringList({QString::fromStdString(dir.File("trees")), QString::fromStdString(path)}));
  EXPECT_EQ(TFileDialogFolder(store, TFileDialogFolder::Workbook, "").Start(), dir.Path().string());
}

TEST(ImportDialog, ARowAndColumnCellInSixSteps) {
  TTempFolder dir;
  // A double quote in the path is doubled in the reference.
  std::string path = dir.File("my \"prices\".xlsx");
  WritePrices(path, false);
  Dialog d;
  Ui::TImportExternalForm& u = d.U;
  d.OpenFile(path);
  // No names: straight to rows and columns, "Named cell" off.
  EXPECT_TRUE(u.radExcelRowAndCol->isChecked());
  EXPECT_FALSE(u.radExcelNamedCell->isEnabled());
  EXPECT_EQ(d.Form.Step(), 4);

  d.Choose(u.cboExcelWorksheets, 0);
  EXPECT_EQ(d.Form.Step(), 5);
  TWorksheetGridModel& grid = d.Form.GridModel();
  EXPECT_EQ(grid.rowCount(), 12);
  EXPECT_EQ(grid.columnCount(), 4);
  EXPECT_EQ(grid.headerData(1, Qt::Horizontal).toString(), "B");
  EXPECT_EQ(grid.headerData(11, Qt::Vertical).toInt(), 12);
  EXPECT_EQ(grid.data(grid.index(0, 0)).toString(), "1,234.57");
  EXPECT_EQ(grid.data(grid.index(2, 2)).toString(), "Widget");
  EXPECT_GE(u.grdExcelUnnamedCells->columnWidth(0),
            u.grdExcelUnnamedCells->fontMetrics().horizontalAdvance("1,234.57") + 3);

  // A cell reached by the keyboard counts as chosen.
  u.grdExcelUnnamedCells->setFocus();
  u.grdExcelUnnamedCells->setCurrentIndex(grid.index(10, 1));
  QTest::keyClick(u.grdExcelUnnamedCells, Qt::Key_Down);
  EXPECT_EQ(d.Form.Step(), 6);
  QTest::mouseClick(u.btnOK, Qt::LeftButton);
  const std::string quoted = dir.File("my \"\"prices\"\".xlsx");
  EXPECT_EQ(d.Form.Reference(), Call(quoted, "Prices$B12"));
}

TEST(ImportDialog, RestoresAReferenceOrStopsAtTheStepBefore) {
  TTempFolder dir;
  std::string path = dir.File("prices.xlsx");
  WritePrices(path);
  std::ofstream(dir.File("notes.xlsx")) << "plain text";
  WriteXls(dir.File("damaged.xls"));
  std::filesystem::resize_file(dir.File("damaged.xls"),
                               std::filesystem::file_size(dir.File("damaged.xls")) - 512);
  // The step reached, what OK then gives (nothing while it is off) and
  // what the user was told.
  struct Case {
    std::string Reference;
    int Step;
    std::string Ok = {};
    Currency Value = 0;
    QString Told = {};
  };
  const Case cases[] = {
      {"", 1},
      {Call(path, "Rate").replace(0, 5, "Other"), 1},
      {"Excel(\"" + path + "\")", 3},
      {Call(path, "Deleted"), 4},
      {Call(path, "Gone$B12"), 4},
      {Call(path, "Prices$Z999"), 5},
      {Call(path, "Prices$ABC1"), 5},
      // The value as the list shows it, with two decimals.
      {Call(path, "Rate"), 5, Call(path, "Rate"), 12345700},
      {Call(path, "Prices!Local"), 5, Call(path, "Prices!Local"), 900},
      {Call(path, "Prices$B12"), 6, Call(path, "Prices$B12"), 900},
      // The listed name of an empty sheet finds it; OK names the sheet.
      {Call(path, "Blank (empty)$A1"), 6, Call(path, "Blank$A1"), 0},
      {Call(dir.File("gone.xlsx"), "Rate"), 3, "", 0, "error: File not found"},
      {Call(dir.File("notes.xlsx"), "Rate"), 3, "", 0,
       "error: '" + QString::fromStdString(dir.File("notes.xlsx")) + "' is not a workbook."},
      {Call(dir.Path().string(), "Rate"), 3, "", 0,
       "error: '" + QString::fromStdString(dir.Path().string()) + "' is not a file."},
      {Call(dir.File("damaged.xls"), "Rate"), 3, "", 0,
       "error: '" + QString::fromStdString(dir.File("damaged.xls")) +
           "' is damaged: a chain of its sectors is broken."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Reference);
    Dialog d;
    d.Form.Restore(c.Reference);
    EXPECT_EQ(d.Form.Step(), c.Step);
    EXPECT_EQ(d.U.btnOK->isEnabled(), !c.Ok.empty());
    QTest::mouseClick(d.U.btnOK, Qt::LeftButton);
    EXPECT_EQ(d.Form.isVisible(), c.Ok.empty());
    EXPECT_EQ(d.Form.Reference(), c.Ok);
    EXPECT_EQ(d.Form.Value(), c.Value);
    EXPECT_EQ(d.Told.join("; "), c.Told);
  }
}

TEST(ImportDialog, AFarLastCellCostsNoGridPositions) {
  TTempFolder dir;
  std::string path = dir.File("stray.xlsx");
  WriteXlsx(path, [](lxw_workbook* book) {
    lxw_worksheet* s = workbook_add_worksheet(book, "Sheet1");
    worksheet_write_number(s, 0, 0, 1, nullptr);
    worksheet_write_number(s, 1048575, 16383, 2, nullptr);
  });
  Dialog d;
  d.Form.Restore(Call(path, "Sheet1$A1"));
  TWorksheetGridModel& grid = d.Form.GridModel();
  EXPECT_EQ(grid.rowCount(), 1048576);
  EXPECT_EQ(grid.columnCount(), 702) << "columns end at ZZ";
  EXPECT_LT(grid.Sheet()->MemoryUsage(), 4096u);
  d.U.grdExcelUnnamedCells->setCurrentIndex(grid.index(1048575, 701));
  QTest::mouseClick(d.U.btnOK, Qt::LeftButton);
  EXPECT_EQ(d.Form.Reference(), Call(path, "Sheet1$ZZ1048576"));
}

TEST(ImportDialog, RefusesWhatNoPayoffHoldsAndTellsOfDamage) {
  TTempFolder dir;
  std::string path = dir.File("prices.xlsx");
  WritePrices(path);
  Dialog d;
  d.Form.Restore(Call(path, "Prices$D4"));
  ASSERT_EQ(d.Form.Step(), 6);
  QTest::mouseClick(d.U.btnOK, Qt::LeftButton);
  EXPECT_EQ(d.Told, QStringList{"error: The value 1E20 lies outside the range of a payoff."});
  EXPECT_TRUE(d.Form.isVisible());
  EXPECT_EQ(d.Form.Reference(), "");

  // A damaged sheet: listed, since listing reads no sheet; told when it is
  // chosen, and the dialog goes on.
  std::string damaged = dir.File("damaged.xlsx");
  WriteZip(damaged,
           PackageParts({SheetXml(R"(<row r="1"><c r="A1" t="s"><v>5</v></c></row>)")}, "<sst/>"));
  Dialog e;
  e.OpenFile(damaged);
  EXPECT_EQ(e.Items(e.U.cboExcelWorksheets), QStringList{"Sheet1"});
  EXPECT_TRUE(e.Told.isEmpty());
  e.Choose(e.U.cboExcelWorksheets, 0);
  ASSERT_EQ(e.Told.size(), 1);
  EXPECT_TRUE(e.Told[0].startsWith("error: ") && e.Told[0].contains("shared string"))
      << e.Told[0].toStdString();
  EXPECT_EQ(e.Form.Step(), 5);
}

// A workbook whose defined name lies in a damaged sheet: restoring a
// reference to that sheet reads the sheet once, and says so once.
TEST(ImportDialog, ADamagedSheetBehindANameIsToldOnce) {
  TTempFolder dir;
  std::string path = dir.File("damaged.xlsx");
  WriteZip(path, PackageParts({SheetXml(R"(<row r="1"><c r="A1"><v>1</v></row>)")}, {},
                              R"(<definedName name="Rate">Sheet1!$A$1</definedName>)"));
  Dialog d;
  d.Form.Restore(Call(path, "Sheet1$A1"));
  EXPECT_EQ(d.Told, QStringList{"error: '" + QString::fromStdString(path) +
                                "' is damaged: its worksheet 'Sheet1' is not well-formed XML."});
  EXPECT_EQ(d.Form.Step(), 5);
}

namespace {

// A tree of the control with imported payoffs under its root.
struct Overview {
  TDecTree Tree;
  std::vector<std::string> Undos;
  int Recalculations = 0;

  Overview() {
    Tree.Options.OutlineCodes = true;
    Tree.Options.CurrencyDecimals = 2;
    Tree.OnCalculated = [this](TDecTree&) { ++Recalculations; };
  }
  TDecTreeNode* Add(const std::string& caption, Currency payoff, const std::string& source) {
    TDecTreeNode* root = Tree.TreeRoot();
    return root->AddChild(Tree.NewNode(
        root,
        {.Id = Guid::NewGuid(), .Caption = caption, .Payoff = payoff, .PayoffSource = source}));
  }
  TOverviewExternalDataForm::TSaveUndo SaveUndo() {
    return [this](const std::string& caption) { Undos.push_back(caption); };
  }
};

// The first reading comes once the window is on the screen.
void WaitForTheFirstRefresh(const TOverviewExternalDataForm& form) {
  EXPECT_TRUE(QTest::qWaitFor([&] { return form.RefreshCount() > 0; }, 5000));
  EXPECT_EQ(form.RefreshCount(), 1);
}

} // namespace

// Failures show their message and the refresh goes on; a value that could
// not be read is marked, never counts as changed and is not written.
TEST(ExternalDataOverview, ListsEveryImportAndAppliesInOneUndoStep) {
  TTempFolder dir;
  std::string path = dir.File("prices.xlsx");
  WritePrices(path);
  struct Row {
    std::string Caption, Reference;
    Currency Stored;
    QString Old, New;
    int Image;
    Currency After;
  };
  const Row rows[] = {
      {"Changed", Call(path, "Prices$A1"), 10000000, "1,000.00", "1,234.57", 1, 12345700},
      {"Same", Call(path, "Rate"), 12345700, "1,234.57", "1,234.57", 0, 12345700},
      {"Missing", Call(dir.File("gone.xlsx"), "Rate"), 50000, "5.00", "File not found", 2, 50000},
      {"Empty", "", 20000, "2.00", "List index out of bounds (0)", 2, 20000},
      {"Renamed", Call(path, "Renamed$A1"), 30000, "3.00",
       "The workbook has no worksheet 'Renamed'.", 2, 30000},
  };
  Overview o;
  std::vector<TDecTreeNode*> nodes;
  for (const Row& r : rows)
    nodes.push_back(o.Add(r.Caption, r.Stored, "Import: " + r.Reference));
  o.Add("Typed", 40000, "");

  TOverviewExternalDataForm form(o.Tree);
  Ui::TOverviewExternalDataForm& u = form.Form();
  form.RefreshExternalData();
  ASSERT_EQ(u.OverviewListView->topLevelItemCount(), 5);
  for (int i = 0; i < 5; ++i) {
    const Row& r = rows[i];
    QTreeWidgetItem* item = u.OverviewListView->topLevelItem(i);
    EXPECT_EQ((QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}),
              (QStringList{r.Old, r.New, QString("%1  %2").arg(i + 1).arg(r.Caption.c_str()),
                           QString::fromStdString(r.Reference)}));
    EXPECT_EQ(item->data(0, TOverviewExternalDataForm::ImageRole).toInt(), r.Image);
    // A message shows whole in its tool tip.
    EXPECT_EQ(item->toolTip(1), r.New.front().isDigit() ? "" : r.New);
  }
  // The common messages fit the column, as a list holding only them needs.
  QTreeWidget common;
  common.setColumnCount(3);
  for (const char* message : {"File not found", "Microsoft Excel not installed"})
    common.addTopLevelItem(new QTreeWidgetItem(QStringList{"", message}));
  common.resizeColumnToContents(1);
  EXPECT_GE(u.OverviewListView->columnWidth(1), common.columnWidth(1));
  EXPECT_EQ(u.SummaryLinesLabel->text(), "5");
  EXPECT_EQ(u.SummaryChangedLabel->text(), "1");
  EXPECT_EQ(u.WhiteTop->Msg(),
            "3 values could not be read. Review the changes and click OK to accept them.");

  form.ApplyNewValues(o.SaveUndo());
  EXPECT_EQ(o.Undos, std::vector<std::string>{"Refresh external data"});
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(nodes[i]->Payoff, rows[i].After) << rows[i].Caption;
}

// A damaged workbook and a file of another kind are marked as not read and
// counted; once mended, they are read again.
TEST(ExternalDataOverview, AWorkbookThatCannotBeReadIsNotUpToDate) {
  TTempFolder dir;
  const std::string book = dir.File("prices.xlsx"), notes = dir.File("notes.xlsx");
  WriteZip(book, PackageParts({SheetXml(R"(<row r="1"><c r="A1"><v>1</v></row>)")}, {},
                              R"(<definedName name="Rate">Sheet1!$A$1</definedName>)"));
  std::ofstream(notes) << "plain text";
  Overview o;
  o.Add("Damaged", 12345700, "Import: " + Call(book, "Rate"));
  o.Add("Notes", 10000, "Import: " + Call(notes, "Rate"));
  TOverviewExternalDataForm form(o.Tree);
  auto shown = [&] { // the header, then each row's image and new value
    form.RefreshExternalData();
    QStringList shown{form.Form().WhiteTop->Msg()};
    for (int i = 0; i < 2; ++i) {
      const QTreeWidgetItem* item = form.Form().OverviewListView->topLevelItem(i);
      shown << item->data(0, TOverviewExternalDataForm::ImageRole).toString() + " " + item->text(1);
    }
    return shown;
  };
  EXPECT_EQ(shown(),
            (QStringList{"2 values could not be read. No other value has changed.",
                         "2 '" + QString::fromStdString(book) +
                             "' is damaged: its worksheet 'Sheet1' is not well-formed XML.",
                         "2 '" + QString::fromStdString(notes) + "' is not a workbook."}));
  WritePrices(book);
  EXPECT_EQ(shown()[0], "1 value could not be read. No other value has changed.");
  WritePrices(notes);
  EXPECT_EQ(shown(), (QStringList{"External data has been changed. After reviewing click OK to "
                                  "accept the new values.",
                                  "0 1,234.57", "1 1,234.57"}));
}

TEST(ExternalDataOverview, WithoutImportsOKOnlyRecalculates) {
  Overview o;
  o.Add("Typed", 40000, "");
  WhenModal<TOverviewExternalDataForm>([](TOverviewExternalDataForm& form) {
    WaitForTheFirstRefresh(form);
    EXPECT_EQ(form.Form().OverviewListView->topLevelItemCount(), 0);
    EXPECT_EQ(form.Form().WhiteTop->Msg(), "No changes. Your project is up-to-date.");
    form.Form().OKButton->click();
  });
  TOverviewExternalDataForm::Execute(o.Tree, o.SaveUndo());
  EXPECT_TRUE(o.Undos.empty());
  EXPECT_EQ(o.Recalculations, 1);
}

TEST(ExternalDataOverview, RefreshesOnActivationButNotUnderItsOwnWindows) {
  Overview o;
  o.Add("Empty", 20000, "Import: ");
  TOverviewExternalDataForm form(o.Tree);
  form.show();
  WaitForTheFirstRefresh(form);
  EXPECT_EQ(form.Form().OverviewListView->topLevelItemCount(), 1);
  // Back from another program: read again.
  QEvent deactivate(QEvent::WindowDeactivate), activate(QEvent::WindowActivate);
  QApplication::sendEvent(&form, &deactivate);
  QApplication::sendEvent(&form, &activate);
  EXPECT_EQ(form.RefreshCount(), 2);

  // Back from an error window of ours: its closing must not read again.
  QDialog report(&form);
  report.setModal(true);
  report.show();
  ASSERT_EQ(QApplication::activeModalWidget(), &report);
  QApplication::sendEvent(&form, &deactivate);
  QApplication::sendEvent(&form, &activate);
  report.hide();
  QApplication::sendEvent(&form, &activate);
  EXPECT_EQ(form.RefreshCount(), 2);
  QTest::mouseClick(form.Form().RefreshButton, Qt::LeftButton);
  EXPECT_EQ(form.RefreshCount(), 3);
}

// "Old Value" shows a large value whole, beside the row's marker.
TEST(ExternalDataOverview, OldValuesShowWhole) {
  Overview o;
  o.Add("Large", 1234567890124500, "Import: ");
  TOverviewExternalDataForm form(o.Tree);
  form.RefreshExternalData();
  QTreeWidget* list = form.Form().OverviewListView;
  const QString value = list->topLevelItem(0)->text(0);
  EXPECT_EQ(value, "123,456,789,012.45");
  EXPECT_GT(list->columnWidth(0), 16 + list->fontMetrics().horizontalAdvance(value));
}

// Both dialogs end in their footer band, with the buttons standing in it:
// no empty space lies below its line.
TEST(ExternalDataDialogs, TheButtonsStandInTheFooter) {
  auto check = [](QWidget& form, QWidget* footer, std::initializer_list<QWidget*> buttons) {
    EXPECT_EQ(footer->geometry().bottom(), form.rect().bottom()) << form.objectName().toStdString();
    for (QWidget* button : buttons)
      EXPECT_TRUE(
          footer->geometry().contains(QRect(button->mapTo(&form, QPoint()), button->size())))
          << button->objectName().toStdString();
  };
  Dialog d;
  check(d.Form, d.U.BottomLine, {d.U.btnOK, d.U.btnCancel});
  Overview o;
  TOverviewExternalDataForm overview(o.Tree);
  overview.show();
  Ui::TOverviewExternalDataForm& u = overview.Form();
  check(overview, u.BottomLine, {u.RefreshButton, u.OKButton, u.CancelButton});
}
