// The base form and the bands every dialog is built from.
#include "widgets/HeaderBands.h"
#include "widgets/ParentedForm.h"

#include <QImage>
#include <QMainWindow>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

using namespace bw;

namespace {

bool HasInk(const QImage& image, const QRect& area, QRgb background) {
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (image.pixel(x, y) != background) return true;
  return false;
}

} // namespace

TEST(ParentedForm, GoesWithItsParentWindowAndFreesItselfWhenAskedTo) {
  auto owner = std::make_unique<QMainWindow>();
  QPointer<TParentedForm> child = new TParentedForm(owner.get());
  EXPECT_EQ(child->ParentWnd(), owner.get());
  EXPECT_TRUE(child->isWindow());
  owner.reset();
  EXPECT_TRUE(child.isNull());

  QPointer<TParentedForm> self = new TParentedForm;
  self->SetFreeOnClose(true);
  self->show();
  self->close();
  QTest::qWait(0);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(self.isNull());
}

TEST(HeaderBands, StaySixtyPixelsHighAndDrawTheirTexts) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* top = new TWhiteTop;
  auto* bottom = new TBottomLine;
  layout->addWidget(top);
  layout->addStretch();
  layout->addWidget(bottom);
  window.resize(400, 400);
  window.show();
  top->resize(400, 80);
  bottom->resize(400, 80);
  EXPECT_EQ(top->height(), 60);
  EXPECT_EQ(bottom->height(), 60);
  EXPECT_EQ(top->TitleColor(), QColor(128, 0, 0));

  top->SetTitle("Unexpected Error");
  top->SetMsg("Something");
  QImage header = top->grab().toImage();
  const QRgb white = qRgb(255, 255, 255);
  // The title in maroon from x = 16, the message below it, and the shadow
  // line two pixels above the bottom.
  EXPECT_TRUE(HasInk(header, QRect(16, 8, 100, 14), white));
  EXPECT_FALSE(HasInk(header, QRect(0, 0, 15, 57), white));
  EXPECT_TRUE(HasInk(header, QRect(30, 24, 60, 14), white));
  EXPECT_EQ(header.pixel(200, 58), top->palette().color(QPalette::Dark).rgb());

  bottom->SetTitle("www.example.com");
  QImage footer = bottom->grab().toImage();
  const QRgb face = footer.pixel(5, footer.height() - 1);
  const int y = bottom->fontMetrics().height() / 2 + 1;
  // The etched line stops before the title and goes on after it.
  EXPECT_EQ(footer.pixel(5, y), bottom->palette().color(QPalette::Dark).rgb());
  EXPECT_EQ(footer.pixel(5, y + 1), bottom->palette().color(QPalette::Light).rgb());
  EXPECT_EQ(footer.pixel(390, y), bottom->palette().color(QPalette::Dark).rgb());
  EXPECT_TRUE(HasInk(footer, QRect(16, 0, 40, y + 4), face));
}
