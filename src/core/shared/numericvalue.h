#pragma once

#include <QString>

// The numeric value of a text, the way every number box on the window is read:
// blanks, tabs and line feeds are ignored; a number is read from the start up
// to the first character that cannot continue it (sign, digits, one period,
// exponent E/e with optional sign); "&H" and "&O" prefixes read hexadecimal and
// octal; no leading number reads as 0. Too large a number reads as infinity.
double numericValue(const QString &text);

// Nearest whole number, halves going to the even neighbour (12.5 -> 12, 13.5 -> 14).
double wholeNumber(double value);
