// The About box and the node-format dialog.
#include "app/dialogs/AboutForm.h"
#include "app/dialogs/FormatNodeForm.h"
#include "app/dialogs/Maker.h"
#include "foundation/Version.h"
#include "support/WhenModal.h"
#include "ui_AboutForm.h"
#include "ui_FormatNodeForm.h"

#include <QDesktopServices>
#include <QPainter>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

using namespace bw;
using bw::test::WhenModal;

namespace {

// Receives the URLs the desktop is asked to open, instead of a browser.
class UrlCatcher : public QObject {
  Q_OBJECT
public:
  UrlCatcher() { QDesktopServices::setUrlHandler("https", this, "Open"); }
  ~UrlCatcher() override { QDesktopServices::unsetUrlHandler("https"); }
  QList<QUrl> Opened;
public slots:
  void Open(const QUrl& url) { Opened << url; }
};

// The rows of a list drawn by its delegate, one image each.
QImage DrawRow(const QComboBox& list, int row) {
  QImage image(120, 16, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  QStyleOptionViewItem option;
  option.rect = image.rect();
  option.palette = list.palette();
  option.palette.setColor(QPalette::Base, Qt::white);
  option.palette.setColor(QPalette::Text, Qt::black);
  list.itemDelegate()->paint(&painter, option, list.model()->index(row, 0));
  return image;
}

// Dark pixels in a column, and in a row between two columns.
int InkInColumn(const QImage& image, int x) {
  int ink = 0;
  for (int y = 0; y < image.height(); ++y)
    ink += qGray(image.pixel(x, y)) < 128;
  return ink;
}
int InkInRow(const QImage& image, int y, int from, int to) {
  int ink = 0;
  for (int x = from; x < to; ++x)
    ink += qGray(image.pixel(x, y)) < 128;
  return ink;
}

} // namespace

TEST(AboutForm, NamesTheProgramAndVersionAndOpensTheMakersPage) {
  UrlCatcher catcher;
  WhenModal<TAboutForm>([&catcher](TAboutForm& form) {
    Ui::TAboutForm& ui = form.Form();
    EXPECT_EQ(form.windowTitle(), "About Brantwick");
    EXPECT_EQ(ui.WhiteTop->Title(), "Brantwick by Calverick");
    EXPECT_EQ(ui.WhiteTop->Msg(), QString("Version %1.%2").arg(version::Major).arg(version::Minor));
    EXPECT_EQ(ui.ConceptCaptionLabel->text(), "Concept:");
    EXPECT_EQ(ui.DevelopmentCaptionLabel->text(), "Development:");
    QLabel* site = ui.WebSiteLabel;
    EXPECT_TRUE(site->font().underline());
    EXPECT_EQ(site->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(site->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    QTest::mousePress(site, Qt::LeftButton);
    EXPECT_EQ(site->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QTest::mouseRelease(site, Qt::LeftButton);
    EXPECT_EQ(site->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_EQ(catcher.Opened, QList<QUrl>{QUrl(MakerWebPage)});
    QTest::mouseClick(ui.CloseButton, Qt::LeftButton);
  });
  ShowAboutBox();
}

TEST(FormatNodeForm, ListsDrawStylesAndWidthsAndOnlyCancelCloses) {
  TFormatNodeForm form;
  Ui::TFormatNodeForm& ui = form.Form();
  EXPECT_EQ(form.windowTitle(), "Format Node");
  EXPECT_EQ(ui.wto->Title(), "Format Node");
  ASSERT_EQ(ui.cboBorder->count(), 6);
  ASSERT_EQ(ui.cboBorderWidth->count(), 7);
  EXPECT_EQ(ui.cboBorder->itemText(5), "DashDotDot");
  EXPECT_FALSE(ui.btnOK->isEnabled());

  // Clear draws nothing; solid is unbroken from x = 8 to 7 before the end;
  // dashes and dots leave gaps.
  EXPECT_EQ(InkInRow(DrawRow(*ui.cboBorder, 0), 8, 0, 120), 0);
  EXPECT_EQ(InkInRow(DrawRow(*ui.cboBorder, 1), 8, 8, 113), 105);
  for (int style = 2; style < 6; ++style) {
    const int ink = InkInRow(DrawRow(*ui.cboBorder, style), 8, 8, 113);
    EXPECT_GT(ink, 20) << style;
    EXPECT_LT(ink, 100) << style;
  }
  // Row i is 2i + 1 pixels thick and labelled with that number.
  for (int row = 0; row < 7; ++row) {
    const QImage image = DrawRow(*ui.cboBorderWidth, row);
    EXPECT_EQ(InkInColumn(image, 40), 2 * row + 1) << row;
    EXPECT_GT(InkInRow(image, 8, 100, 120) + InkInRow(image, 6, 100, 120), 0) << row;
  }
  EXPECT_EQ(ui.cboBorderWidth->itemDelegate()->sizeHint({}, {}).height(), 16);

  form.show();
  QTest::keyClick(&form, Qt::Key_Return);
  EXPECT_TRUE(form.isVisible());
  ui.btnCancel->setFocus();
  QTest::keyClick(ui.btnCancel, Qt::Key_Return);
  EXPECT_TRUE(form.isVisible());
  QTest::keyClick(&form, Qt::Key_Escape);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Rejected);
}

#include "AboutAndFormatNodeTest.moc"
