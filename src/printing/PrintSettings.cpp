#include "printing/PrintSettings.h"

#include <QLocale>

namespace bw {

bool IsMetricLocale() {
  return QLocale::system().measurementSystem() == QLocale::MetricSystem;
}

} // namespace bw
