// What a user or a paste may bring into a field that takes a number:
// every field of the dialogs is tried with each of these texts.
#pragma once

#include <QStringList>

namespace bw::test {

inline QStringList BadNumberTexts() {
  return {"", "   ", "1,00", "1e999", "nan", "-0", QString(10000, '7'), QString::fromUtf8("١٢٣")};
}

} // namespace bw::test
