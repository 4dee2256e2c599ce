// The shared helpers of the program's one module of free procedures.
#pragma once

#include <QString>

class OptionGroup;

// The path with the platform's separator appended unless it already ends in one;
// an empty path gives the separator alone.
QString AddBackslash(const QString& path);
// The text before the first NUL, or all of it.
QString StripNull(const QString& text);

// The index of the first button of the group, in group order, that is selected; 0 when none is.
int Option_Value(const OptionGroup& group);
// Selects every button whose index equals the value read as a number (see LeadingNumber,
// rounded half to even); no match leaves the group as it was. A newly selected button
// runs the group's click procedure once.
void Set_Option(OptionGroup& group, const QString& value);

// The value of the text's leading numeric part: blanks, an optional sign, digits with an
// optional fraction and exponent; 0 when the text starts with no number.
double LeadingNumber(const QString& text);
// To the nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double value);
