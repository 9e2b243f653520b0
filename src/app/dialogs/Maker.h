// The maker's web address, shown in the footers of the dialogs and opened
// from the About box, and the program's pictures, drawn rather than shipped.
#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace bw {

inline constexpr const char* MakerWebAddress = "www.calverick.example";
inline constexpr const char* MakerWebPage = "https://www.calverick.example/";

// A small decision tree: a decision box, two branches, a chance circle and
// an end triangle, scaled to the size.
QPixmap ProductPicture(const QSize& size);
// The maker's name on a maroon plate.
QPixmap MakerLogo(const QSize& size);

} // namespace bw
