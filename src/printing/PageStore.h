// The recorded pages of the print preview. All pages are kept one after
// another in a single stream, in memory or in a temporary file, and only
// one of them is held as a picture at a time; a page edited through that
// picture is written back in place, the later pages moving up or down.
#pragma once

#include "foundation/Exceptions.h"

#include <QIODevice>
#include <QPicture>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QTemporaryFile;

namespace bw {

// One page: its picture and its size in screen pixels. The picture's own
// bounding box is only where ink fell; playing a page stretches its extent.
struct TMetafilePage {
  QPicture Picture;
  QSize Extent;
};

// A page stream that could not be read or written (full disk, unwritable
// temporary folder).
class StreamError : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EStreamError"; }
};

// A page or its drawing surface could not be made.
class OutOfMemoryError : public Exception {
public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EOutOfMemory"; }
};

class TMetafileList {
public:
  TMetafileList();
  TMetafileList(const TMetafileList&) = delete;
  TMetafileList& operator=(const TMetafileList&) = delete;
  ~TMetafileList();

  // Appends a page; its index, from 0.
  int Add(const TMetafilePage& page);
  int Count() const { return static_cast<int>(FOffsets.size()); }
  // The page, loaded into the one cached page if it is not there already;
  // valid until another page is asked for.
  const TMetafilePage& Items(int index);
  // Loads the page, lets edit change it and writes it back into the
  // stream; fires OnCurrentChange.
  void EditPage(int index, const std::function<void(TMetafilePage&)>& edit);
  // Removes every page (and the temporary file); fires OnChange.
  void Clear();

  bool UseTempFile() const { return FUseTempFile; }
  // Moves the pages between memory and a temporary file. When the move
  // fails, the pages stay where they were and the error passes on.
  void SetUseTempFile(bool value);
  // The file behind the stream; empty when the pages are in memory.
  QString TempFileName() const;

  // Where page index begins in the stream, and the stream's size: for
  // tests and the benchmarks.
  int64_t Offset(int index) const;
  int64_t StreamSize() const;
  // How often a page was read from the stream.
  int PageLoads() const { return FPageLoads; }

  // The set of pages changed: a page added, or all removed.
  std::function<void(TMetafileList&)> OnChange;
  // Page index was written back after an edit.
  std::function<void(TMetafileList&, int index)> OnCurrentChange;

private:
  void LoadPage(int index);
  void PageChanged();
  void FreePages();
  std::unique_ptr<QIODevice> CreateStream(bool tempFile) const;
  void CheckIndex(int index) const;

  std::vector<int64_t> FOffsets;
  std::unique_ptr<QIODevice> FStream;
  int FLoadedIndex = -1;
  TMetafilePage FCached;
  bool FUseTempFile = false;
  int FPageLoads = 0;
};

// A new, empty file in the program's temporary folder, named by
// nameTemplate with its "XXXXXX" made unique; created exclusively and open
// for reading and writing (with the extra mode, such as Unbuffered);
// removed when freed.
std::unique_ptr<QTemporaryFile> CreateTempFile(const QString& nameTemplate,
                                               QIODevice::OpenMode extraMode = {});

// A page as the stream holds it, and back.
QByteArray SerializePage(const TMetafilePage& page);
void DeserializePage(const QByteArray& bytes, TMetafilePage& page);

} // namespace bw
