// The Qt printer: jobs reach their PDF file or CUPS printer only when
// complete; device settings and forms.
#include "printing/Printer.h"
#include "foundation/Exceptions.h"
#include "foundation/Folders.h"
#include "foundation/MessageOf.h"
#include "printing/PageStore.h"
#include "printing/PaperTable.h"
#include "printing/PrivateTemp.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

using namespace bw;
using bw::test::FileSizeLimit;
using bw::test::MessageOf;
using bw::test::PrivateTemp;
using testing::AllOf;
using testing::HasSubstr;

namespace {

struct Submitted {
  std::string Printer, Title;
  QByteArray Head;
  QString Media;
};

int PdfPages(const QString& file) {
  QProcess info;
  info.start("pdfinfo", {file});
  if (!info.waitForFinished(10000)) return -1;
  for (const QByteArray& line : info.readAllStandardOutput().split('\n'))
    if (line.startsWith("Pages:")) return line.mid(6).trimmed().toInt();
  return -1;
}

} // namespace

TEST(QtPrinter, WritesThePdfFileOnlyWhenTheJobIsComplete) {
  PrivateTemp temp;
  QTemporaryDir out;
  const QString file = out.filePath("tree.pdf");
  TQtPrinter printer([](auto&&...) { FAIL() << "no CUPS for a file"; });
  EXPECT_GE(printer.PrinterCount(), 1);
  printer.SelectPdfFile(file);
  printer.SetTitle("Tree");
  printer.BeginDoc();
  EXPECT_EQ(printer.DpiX(), 1200);
  printer.Canvas().fillRect(0, 0, 1000, 1000, Qt::black);
  printer.NewPage();
  printer.Canvas().fillRect(0, 0, 1000, 1000, Qt::black);
  EXPECT_FALSE(QFile::exists(file));
  printer.EndDoc();
  EXPECT_FALSE(printer.Printing());
  EXPECT_EQ(PdfPages(file), 2);
  EXPECT_TRUE(temp.Files().isEmpty());

  // Aborted: neither the file nor the private copy.
  QFile::remove(file);
  printer.BeginDoc();
  printer.Canvas().fillRect(0, 0, 1000, 1000, Qt::black);
  printer.Abort();
  EXPECT_TRUE(printer.Aborted());
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_TRUE(temp.Files().isEmpty());

  // No file name: an error, not a silent success.
  printer.SelectPdfFile({});
  printer.BeginDoc();
  EXPECT_THROW(printer.EndDoc(), Exception);
  EXPECT_TRUE(temp.Files().isEmpty());
}

TEST(QtPrinter, HandsOnlyFinishedJobsToCups) {
  PrivateTemp temp;
  std::vector<Submitted> jobs;
  TQtPrinter printer([&](const std::string& name, const QString& file, const std::string& title,
                         const QPageSize& paper) {
    QFile f(file);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    jobs.push_back({name, title, f.read(5), paper.key()});
  });
  printer.SelectPrinter("Office");
  printer.SetDeviceSettings({8, std::nullopt, std::nullopt, 1, std::nullopt});
  printer.SetTitle("Tree");
  printer.BeginDoc();
  printer.Canvas().fillRect(0, 0, 100, 100, Qt::black);
  EXPECT_TRUE(jobs.empty());
  printer.EndDoc();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].Printer, "Office");
  EXPECT_EQ(jobs[0].Title, "Tree");
  EXPECT_EQ(jobs[0].Head, "%PDF-");
  EXPECT_EQ(jobs[0].Media, "A3");
  EXPECT_TRUE(temp.Files().isEmpty());
}

TEST(TemporaryFiles, AreMadeInTheProgramsFolderWhenTheTemporaryFolderIsMissing) {
  PrivateTemp temp;
  ASSERT_TRUE(temp.Dir.remove());
  TMetafileList pages;
  pages.SetUseTempFile(true);
  pages.Add(TMetafilePage());
  QString job;
  TQtPrinter printer([&](auto&&, const QString& file, auto&&...) { job = file; });
  printer.SelectPrinter("Office");
  printer.BeginDoc();
  printer.EndDoc();
  for (const QString& file : {pages.TempFileName(), job})
    EXPECT_EQ(QFileInfo(file).absolutePath().toStdString() + "/", CurrentFolder());
}

// A file-size limit stands for a full temporary folder.
TEST(QtPrinter, AJobTheDiskDidNotTakeWholeIsAnErrorAndGoesNowhere) {
  PrivateTemp temp;
  // Noise does not compress: some hundred kilobytes of PDF.
  QImage noise(256, 256, QImage::Format_RGB32);
  QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(noise.bits()),
                                        noise.sizeInBytes() / 4);
  QTemporaryDir out;
  const QString file = out.filePath("tree.pdf");
  TQtPrinter printer([](auto&&...) { FAIL() << "a broken job reached CUPS"; });
  for (const bool toFile : {true, false}) {
    if (toFile)
      printer.SelectPdfFile(file);
    else
      printer.SelectPrinter("Office");
    std::string message;
    {
      FileSizeLimit limit(4096);
      printer.BeginDoc();
      printer.Canvas().drawImage(0, 0, noise);
      message = MessageOf<StreamError>([&] { printer.EndDoc(); });
    }
    EXPECT_THAT(message, HasSubstr(std::strerror(EFBIG)));
  }
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_TRUE(temp.Files().isEmpty());
}

TEST(QtPrinter, ACopyThatFailsNamesTheSystemsReason) {
  QTemporaryDir dir;
  const QString job = dir.filePath("job.pdf");
  const QString target = dir.filePath("tree.pdf");
  QFile file(job);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray(100000, 'x')) == 100000);
  file.close();
  std::string message;
  {
    FileSizeLimit limit(4096);
    message = MessageOf<StreamError>([&] { CopyFileWhole(job, target); });
  }
  EXPECT_THAT(message, AllOf(HasSubstr(target.toStdString()), HasSubstr(std::strerror(EFBIG))));
}

TEST(QtPrinter, KeepsPaperCodesAndExactSizesInItsDeviceSettings) {
  TQtPrinter printer;
  printer.SelectPdfFile("unused.pdf");
  // Letter Transverse has Letter's size; the code written stands.
  printer.SetDeviceSettings({54, std::nullopt, std::nullopt, 2, std::nullopt});
  TDeviceSettings s = printer.DeviceSettings();
  EXPECT_EQ(s.PaperSize, 54);
  EXPECT_EQ(s.Orientation, 2);
  EXPECT_EQ(s.PaperWidth, 2159);
  EXPECT_GT(printer.PageSizePixels().width(), printer.PageSizePixels().height());

  // A size of the user's own stays exact, never the nearest standard one.
  printer.SetDeviceSettings({CustomPaperCode, 2105, 2970, 1, std::nullopt});
  s = printer.DeviceSettings();
  EXPECT_EQ(s.PaperSize, CustomPaperCode);
  EXPECT_EQ(s.PaperWidth, 2105);
  EXPECT_EQ(s.PaperLength, 2970);

  // Only the orientation: the paper stays.
  printer.SetDeviceSettings({9, std::nullopt, std::nullopt, 1, std::nullopt});
  printer.SetDeviceSettings({std::nullopt, std::nullopt, std::nullopt, 2, std::nullopt});
  s = printer.DeviceSettings();
  EXPECT_EQ(s.PaperSize, 9);
  EXPECT_EQ(s.Orientation, 2);
}

TEST(QtPrinter, ListsItsSizesAndTheFormsAddedToIt) {
  TQtPrinter printer;
  printer.SelectPdfFile("unused.pdf");
  bool a4 = false;
  for (const TPrinterForm& form : printer.Forms())
    a4 |= form.Name == "A4" && form.Width == 210000 && form.Height == 297000;
  EXPECT_TRUE(a4);
  EXPECT_TRUE(printer.AddForm({"100mm x 150mm", 100000, 150000}));
  EXPECT_FALSE(printer.AddForm({"100MM X 150MM", 100000, 150000}));
  EXPECT_EQ(printer.Forms().back().Name, "100mm x 150mm");
  // A form chosen by name gives its size.
  printer.SetDeviceSettings(
      {std::nullopt, std::nullopt, std::nullopt, 1, std::string("100mm x 150mm")});
  EXPECT_EQ(printer.DeviceSettings().PaperWidth, 1000);
  EXPECT_TRUE(printer.DeleteForm("100mm x 150mm"));
  EXPECT_FALSE(printer.DeleteForm("100mm x 150mm"));
  // A printer that is not there takes no forms of the user's own.
  printer.SelectPrinter("Nowhere");
  EXPECT_FALSE(printer.AddForm({"x", 1000, 1000}));
}
