// Pictures of a drawing on Qt: the bitmap drawn through the QPainter canvas
// as the screen is, files in the format their name asks for, the clipboard,
// and the dialog of File > Export picture.
#pragma once

#include "export/Picture.h"
#include "foundation/UsableMemory.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QFileDialog;
class QMimeData;
class QWidget;

namespace bw {

// The picture as a 24-bit bitmap on white at the drawing's resolution.
// Raises a clear error when no bitmap of that size can be had.
QImage RenderPicture(const TPictureSource& source);

// Writes the picture in the format of the file's extension. An unknown
// extension, a size the format cannot hold and a bitmap beyond half the
// memory the program may use (in bytes; what UsableMemory reads unless
// given) are refused before anything is drawn; when writing fails, a file
// of that name keeps what it held.
void WritePictureFile(const std::string& path, const TPictureSource& source,
                      uint64_t usableMemory = UsableMemory());

// What Copy as picture offers: the bitmap and the enhanced metafile, as
// "image/x-emf" and as "image/emf". A bitmap beyond a quarter of the memory
// the program may use is refused before it is made.
std::unique_ptr<QMimeData> PictureMimeData(const TPictureSource& source,
                                           uint64_t usableMemory = UsableMemory());
// Puts both on the clipboard in one go. After an error the clipboard keeps
// what it had.
void CopyPictureToClipboard(const TPictureSource& source);
// Edit > Copy as picture: as above, with an error shown, not raised, as
// Export picture shows it: through error, or a message box with the error
// icon if unset.
void CopyPicture(QWidget* parent, const TPictureSource& source,
                 const std::function<void(const QString& text)>& error = {});

// The save dialog, starting in folder: seven filters with GIF chosen, "gif"
// added to a name without extension, and a question before an existing file
// is replaced.
std::unique_ptr<QFileDialog> MakePictureSaveDialog(QWidget* parent, const QString& folder = {});

struct TPictureExportDialogs {
  // The chosen file name, empty when cancelled; the save dialog, starting in
  // the folder, if unset.
  std::function<QString(const QString& folder)> FileName;
  // Shows an error; a message box with the error icon if unset.
  std::function<void(const QString& text)> Error;
};

// Asks for a file name, starting in folder, and writes the picture there.
// An error is shown, not raised. The name chosen; empty when cancelled.
QString ExportPictureToFile(QWidget* parent, const TPictureSource& source,
                            const TPictureExportDialogs& dialogs = {}, const QString& folder = {});

} // namespace bw
