// Texts typed in place that are no number in their locale: a unit that is
// none, a decimal comma where the locale writes a point (and the reverse), a
// letter after digits, a group of 0 before a separator.
#pragma once

#include <QLocale>
#include <QStringList>

#include <utility>
#include <vector>

namespace bw::test {

inline std::vector<std::pair<QLocale, QStringList>> RefusedNumberTexts() {
  const QStringList english = {"250k", "1,5", "12x", "0,125"};
  return {{QLocale(QLocale::English, QLocale::UnitedKingdom), english},
          {QLocale(QLocale::English, QLocale::UnitedStates), english},
          {QLocale(QLocale::German, QLocale::Germany), {"250k", "1,234.5", "12x", "0.125"}}};
}

} // namespace bw::test
