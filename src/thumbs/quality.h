#pragma once
// In thumbs/, like lockBothBound: a pure rule over text that decides the quality the encoder gets.
#include <QString>
#include <optional>

// The leading number of a text: leading blanks skipped, an optional sign,
// digits with a full stop as decimal point and an optional exponent. A text
// that does not start with a number gives 0.
double leadingNumber(const QString &text);

// The quality box's rule: the leading number rounded halves-to-even, above 100
// gives 100, 0 gives 65, kept within 16 bits. An empty text gives nothing while
// typing (whileTyping) and "65" otherwise. Returns the text the box should show.
std::optional<QString> normalisedQuality(const QString &text, bool whileTyping);

// The quality handed to the encoder: the box's value clamped to 1..100.
int encoderQuality(const QString &text);
