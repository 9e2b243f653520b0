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

// The dark pixels within a rectangle of the image.
int Ink(const QImage& image, const QRect& within) {
  int ink = 0;
  for (int y = within.top(); y <= within.bottom(); ++y)
    for (int x = within.left(); x <= within.right(); ++x)
      ink += qGray(image.pixel(x, y)) < 128;
  return ink;
}

} // namespace

TEST(AboutForm, NamesTheProgramAndVersionAndOpensTheMakersPage) {
  UrlCatcher catcher;
  WhenModal<TAboutForm>([&catcher](TAboutForm& form) {
    Ui::TAboutForm& ui = form.Form();
    EXPECT_EQ(ui.WhiteTop->Msg(), QString("Version %1.%2").arg(version::Major).arg(version::Minor));
    QLabel* site = ui.WebSiteLabel;
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
  ASSERT_EQ(ui.cboBorder->count(), 6);
  ASSERT_EQ(ui.cboBorderWidth->count(), 7);
  EXPECT_FALSE(ui.btnOK->isEnabled());

  // Clear draws nothing; solid is unbroken from x = 8 to 7 before the end;
  // dashes and dots leave gaps.
  EXPECT_EQ(Ink(DrawRow(*ui.cboBorder, 0), QRect(0, 8, 120, 1)), 0);
  EXPECT_EQ(Ink(DrawRow(*ui.cboBorder, 1), QRect(8, 8, 105, 1)), 105);
  for (int style = 2; style < 6; ++style) {
    const int ink = Ink(DrawRow(*ui.cboBorder, style), QRect(8, 8, 105, 1));
    EXPECT_GT(ink, 20) << style;
    EXPECT_LT(ink, 100) << style;
  }
  // Row i is 2i + 1 pixels thick and labelled with that number.
  for (int row = 0; row < 7; ++row) {
    const QImage image = DrawRow(*ui.cboBorderWidth, row);
    EXPECT_EQ(Ink(image, QRect(40, 0, 1, 16)), 2 * row + 1) << row;
    EXPECT_GT(Ink(image, QRect(100, 6, 20, 1)) + Ink(image, QRect(100, 8, 20, 1)), 0) << row;
  }

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
