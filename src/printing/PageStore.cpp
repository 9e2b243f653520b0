#include "printing/PageStore.h"

#include "foundation/Folders.h"

#include <QBuffer>
#include <QTemporaryFile>

#include <algorithm>
#include <string>
#include <utility>

namespace bw {

namespace {

// Each page starts with its extent: width and height, 32 bits each, little
// endian; the picture's bytes follow.
constexpr int HeaderSize = 8;

void Seek(QIODevice& stream, int64_t position) {
  if (!stream.seek(position)) throw StreamError("Stream seek error");
}

void WriteAll(QIODevice& stream, const QByteArray& bytes) {
  if (stream.write(bytes) != bytes.size()) throw StreamError("Stream write error");
}

QByteArray ReadExactly(QIODevice& stream, int64_t length) {
  QByteArray bytes = stream.read(length);
  if (bytes.size() != length) throw StreamError("Stream read error");
  return bytes;
}

// Files are buffered: a write that the disk refuses shows only here.
void Flush(QIODevice& stream) {
  if (auto* file = qobject_cast<QFileDevice*>(&stream))
    if (!file->flush()) throw StreamError("Stream write error");
}

void Truncate(QIODevice& stream, int64_t size) {
  if (auto* file = qobject_cast<QFileDevice*>(&stream)) {
    if (!file->resize(size)) throw StreamError("Stream write error");
  } else if (auto* buffer = qobject_cast<QBuffer*>(&stream)) {
    buffer->buffer().resize(size);
  }
}

} // namespace

QByteArray SerializePage(const TMetafilePage& page) {
  QByteArray bytes;
  bytes.reserve(HeaderSize + page.Picture.size());
  for (const int value : {page.Extent.width(), page.Extent.height()})
    for (int i = 0; i < 4; ++i)
      bytes.append(static_cast<char>(static_cast<quint32>(value) >> (8 * i)));
  bytes.append(page.Picture.data(), page.Picture.size());
  return bytes;
}

void DeserializePage(const QByteArray& bytes, TMetafilePage& page) {
  if (bytes.size() < HeaderSize) throw StreamError("Stream read error");
  auto int32At = [&bytes](int at) {
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
      v = v << 8 | static_cast<uchar>(bytes.at(at + i));
    return static_cast<int>(static_cast<qint32>(v));
  };
  page.Extent = QSize(int32At(0), int32At(4));
  page.Picture = QPicture();
  if (bytes.size() > HeaderSize)
    page.Picture.setData(bytes.constData() + HeaderSize,
                         static_cast<uint>(bytes.size() - HeaderSize));
}

std::unique_ptr<QTemporaryFile> CreateTempFile(const QString& nameTemplate,
                                               QIODevice::OpenMode extraMode) {
  auto file =
      std::make_unique<QTemporaryFile>(QString::fromStdString(GetTempFolder()) + nameTemplate);
  // QTemporaryFile hides the open with a mode; QFile's reaches it.
  if (!static_cast<QFile&>(*file).open(QIODevice::ReadWrite | extraMode))
    throw StreamError("Cannot create file \"" + file->fileTemplate().toStdString() + "\". " +
                      file->errorString().toStdString());
  return file;
}

TMetafileList::TMetafileList() = default;

TMetafileList::~TMetafileList() {
  FreePages();
}

std::unique_ptr<QIODevice> TMetafileList::CreateStream(bool tempFile) const {
  if (tempFile) return CreateTempFile("PPXXXXXX");
  auto buffer = std::make_unique<QBuffer>();
  buffer->open(QIODevice::ReadWrite);
  return buffer;
}

QString TMetafileList::TempFileName() const {
  if (auto* file = dynamic_cast<QTemporaryFile*>(FStream.get())) return file->fileName();
  return {};
}

void TMetafileList::CheckIndex(int index) const {
  if (index < 0 || index >= Count())
    throw ListError("List index out of bounds (" + std::to_string(index) + ")");
}

int64_t TMetafileList::Offset(int index) const {
  CheckIndex(index);
  return FOffsets[static_cast<size_t>(index)];
}

int64_t TMetafileList::StreamSize() const {
  return FStream ? FStream->size() : 0;
}

int TMetafileList::Add(const TMetafilePage& page) {
  if (!FStream) FStream = CreateStream(FUseTempFile);
  const int64_t position = FStream->size();
  const QByteArray bytes = SerializePage(page);
  try {
    Seek(*FStream, position);
    WriteAll(*FStream, bytes);
    Flush(*FStream);
  } catch (...) {
    // What reached the stream of this page is no page: cut it off again.
    try {
      Truncate(*FStream, position);
    } catch (...) {
    }
    throw;
  }
  FOffsets.push_back(position);
  if (OnChange) OnChange(*this);
  return Count() - 1;
}

void TMetafileList::LoadPage(int index) {
  CheckIndex(index);
  if (index == FLoadedIndex) return;
  const size_t i = static_cast<size_t>(index);
  const int64_t end = i + 1 < FOffsets.size() ? FOffsets[i + 1] : FStream->size();
  // A picture reads to the end of what it is given: hand it its own bytes.
  FLoadedIndex = -1;
  Seek(*FStream, FOffsets[i]);
  DeserializePage(ReadExactly(*FStream, end - FOffsets[i]), FCached);
  FLoadedIndex = index;
  ++FPageLoads;
}

const TMetafilePage& TMetafileList::Items(int index) {
  LoadPage(index);
  return FCached;
}

void TMetafileList::EditPage(int index, const std::function<void(TMetafilePage&)>& edit) {
  LoadPage(index);
  edit(FCached);
  PageChanged();
}

void TMetafileList::PageChanged() {
  const size_t k = static_cast<size_t>(FLoadedIndex);
  const bool last = k + 1 == FOffsets.size();
  const QByteArray page = SerializePage(FCached);
  const int64_t size = FStream->size();
  const int64_t oldLength = (last ? size : FOffsets[k + 1]) - FOffsets[k];
  const int64_t delta = page.size() - oldLength;

  QByteArray tail;
  if (delta != 0 && !last) {
    Seek(*FStream, FOffsets[k + 1]);
    tail = ReadExactly(*FStream, size - FOffsets[k + 1]);
  }
  Seek(*FStream, FOffsets[k]);
  WriteAll(*FStream, page);
  if (delta != 0 && !last) {
    for (size_t j = k + 1; j < FOffsets.size(); ++j)
      FOffsets[j] += delta;
    WriteAll(*FStream, tail);
  }
  Flush(*FStream);
  if (delta < 0) Truncate(*FStream, size + delta);
  if (OnCurrentChange) OnCurrentChange(*this, static_cast<int>(k));
}

void TMetafileList::SetUseTempFile(bool value) {
  if (value == FUseTempFile) return;
  if (FStream) {
    // The new stream is filled completely before anything changes: a copy
    // that fails leaves the pages where they were and frees the half-made
    // stream (a temporary file is removed with it).
    std::unique_ptr<QIODevice> stream = CreateStream(value);
    Seek(*FStream, 0);
    constexpr int64_t Chunk = int64_t{1} << 20;
    for (int64_t done = 0, size = FStream->size(); done < size;) {
      const QByteArray bytes = ReadExactly(*FStream, std::min(Chunk, size - done));
      WriteAll(*stream, bytes);
      done += bytes.size();
    }
    Flush(*stream);
    FStream = std::move(stream);
  }
  FUseTempFile = value;
}

void TMetafileList::FreePages() {
  FCached = TMetafilePage();
  FOffsets.clear();
  FLoadedIndex = -1;
  // Freeing a temporary file removes it.
  FStream.reset();
}

void TMetafileList::Clear() {
  FreePages();
  if (OnChange) OnChange(*this);
}

} // namespace bw
