// Number texts of the dialogs in the user's locale (QLocale(), which tests
// pin with QLocale::setDefault), and reading back what the user typed.
#pragma once

#include "model/Currency.h"

#include <QString>

#include <string>

namespace bw {

// Decimals below 0 count as 0 and above 18 as 18, as in the tree's money
// texts.
int ClampTextDecimals(int decimals);

// The value rounded to 15 significant digits, then written with exactly
// `decimals` digits after the locale's decimal separator. Fixed has no
// group separators ("1234.50"), Number has them ("1,234.50").
QString FixedText(double value, int decimals);
QString NumberText(double value, int decimals);
// The same for an amount of money, from its ten-thousandths exactly (no
// double in between), rounded to `decimals` with ties away from zero.
QString MoneyFixedText(Currency value, int decimals);
QString MoneyNumberText(Currency value, int decimals);

// A typed number in the locale's notation, read as the tree's in-place
// editor reads it (TryTextToFloat of the model), without a unit: blanks
// around it, a sign, group separators between whole groups and an exponent
// are allowed; "inf", "nan", overflow and anything else are not.
bool TryTextToFloat(const QString& text, double& value);
// The same, made money exactly (TryTextToMoney of the model: a decimal
// never goes through a double); false also when the amount does not fit a
// Currency.
bool TryTextToCurrency(const QString& text, Currency& value);
// The same with the unit the tree's amounts carry (its currency symbol),
// before or after the number, or without it.
bool TryTextToCurrency(const QString& text, const std::string& unit, Currency& value);

} // namespace bw
