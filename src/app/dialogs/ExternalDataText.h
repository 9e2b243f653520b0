// The value texts of the spreadsheet import and the external-data overview,
// in the user's number format (QLocale(), so that tests can pin it).
#pragma once

#include "app/text/qt/NumberText.h"

#include <QString>

namespace bw {

struct TCellValue;

// The number in a value text, thousands separators removed; false when it
// is no finite number.
bool ReadNumberText(QString text, double& value);
// A cell's value as the import dialog shows it: numbers in number notation,
// booleans as "True" and "False", texts and error values as they are,
// nothing for an empty cell.
QString CellValueText(const TCellValue& value, int decimals);
// The overview's header once every value was read: how many values
// changed and how many could not be read. A value that could not be read
// is neither changed nor up to date, and the header says how many there are.
QString ExternalDataHeader(int changed, int unread);

} // namespace bw
