#include "printing/Units.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <cstdlib>
#include <limits>

namespace bw {

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t product = static_cast<int64_t>(a) * b;
  // Round half away from zero: add half the divisor in the direction of the
  // quotient's sign.
  const int64_t magnitude = (std::llabs(product) + std::llabs(static_cast<int64_t>(c)) / 2) /
                            std::llabs(static_cast<int64_t>(c));
  const int64_t result = (product < 0) != (c < 0) ? -magnitude : magnitude;
  if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min())
    return -1;
  return static_cast<int>(result);
}

int ScreenDpi() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      return static_cast<int>(std::lround(screen->logicalDotsPerInch()));
  return 96;
}

double UnitsPerInch(TUnits units) {
  switch (units) {
  case mmPixel:
    return ScreenDpi();
  case mmLoMetric:
    return 254;
  case mmHiMetric:
    return 2540;
  case mmLoEnglish:
    return 100;
  case mmHiEnglish:
    return 1000;
  case mmTWIPS:
    return 1440;
  case mmPoints:
    return 72;
  }
  return 1;
}

int ConvertUnits(int v, int dpi, TUnits in, TUnits out) {
  switch (in) {
  case mmPixel:
    switch (out) {
    case mmPixel:
      return MulDiv(v, dpi, ScreenDpi());
    case mmLoMetric:
      return MulDiv(v, 254, dpi);
    case mmHiMetric:
      return MulDiv(v, 2540, dpi);
    case mmLoEnglish:
      return MulDiv(v, 100, dpi);
    case mmHiEnglish:
      return MulDiv(v, 1000, dpi);
    case mmTWIPS:
      return MulDiv(v, 1440, dpi);
    case mmPoints:
      return MulDiv(v, 72, dpi);
    }
    break;
  case mmLoMetric:
    switch (out) {
    case mmPixel:
      return MulDiv(v, dpi, 254);
    case mmLoMetric:
      return v;
    case mmHiMetric:
      return MulDiv(v, 10, 1);
    case mmLoEnglish:
      return MulDiv(v, 100, 254);
    case mmHiEnglish:
      return MulDiv(v, 1000, 254);
    case mmTWIPS:
      return MulDiv(v, 1440, 254);
    case mmPoints:
      return MulDiv(v, 72, 254);
    }
    break;
  case mmHiMetric:
    switch (out) {
    case mmPixel:
      return MulDiv(v, dpi, 2540);
    case mmLoMetric:
      return v / 10;
    case mmHiMetric:
      return v;
    case mmLoEnglish:
      return MulDiv(v, 10, 254);
    case mmHiEnglish:
      return MulDiv(v, 100, 254);
    case mmTWIPS:
      return MulDiv(v, 1440, 2540);
    case mmPoints:
      return MulDiv(v, 72, 2540);
    }
    break;
  case mmLoEnglish:
    switch (out) {
    case mmPixel:
      return MulDiv(v, dpi, 100);
    case mmLoMetric:
      return MulDiv(v, 254, 100);
    case mmHiMetric:
      return MulDiv(v, 254, 10);
    case mmLoEnglish:
      return v;
    case mmHiEnglish:
      return MulDiv(v, 10, 1);
    case mmTWIPS:
      return MulDiv(v, 1440, 100);
    case mmPoints:
      return MulDiv(v, 72, 100);
    }
    break;
  case mmHiEnglish:
    switch (out) {
    case mmPixel:
      return MulDiv(v, dpi, 1000);
    case mmLoMetric:
      return MulDiv(v, 254, 1000);
    case mmHiMetric:
      return MulDiv(v, 254, 100);
    case mmLoEnglish:
      return v / 10;
    case mmHiEnglish:
      return v;
    case mmTWIPS:
      return MulDiv(v, 1440, 1000);
    case mmPoints:
      return MulDiv(v, 72, 1000);
    }
    break;
  case mmTWIPS:
    switch (out) {
    case mmPixel:
      return MulDiv(v, dpi, 1440);
    case mmLoMetric:
      return MulDiv(v, 254, 1440);
    case mmHiMetric:
      return MulDiv(v, 2540, 1440);
    case mmLoEnglish:
      return MulDiv(v, 100, 1440);
    case mmHiEnglish:
      return MulDiv(v, 1000, 1440);
    case mmTWIPS:
      return v;
    case mmPoints:
      return v / 20;
    }
    break;
  case mmPoints:
    switch (out) {
    case mmPixel:
      return MulDiv(v, dpi, 72);
    case mmLoMetric:
      return MulDiv(v, 254, 72);
    case mmHiMetric:
      return MulDiv(v, 2540, 72);
    case mmLoEnglish:
      return MulDiv(v, 100, 72);
    case mmHiEnglish:
      return MulDiv(v, 1000, 72);
    case mmTWIPS:
      return MulDiv(v, 20, 1);
    case mmPoints:
      return v;
    }
    break;
  }
  return v;
}

} // namespace bw
