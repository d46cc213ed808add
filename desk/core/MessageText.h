#pragma once

#include <QString>

/// A mobile number as typed, cleaned: commas, blanks and no-break spaces dropped; a single quote
/// becomes a blank (which stays when it stood inside the number); the ends trimmed.
QString CleanMobileNumber(const QString& number);

/// The length of a text as the ad-hoc screen counts it: a tilde counts 2, every other character 1.
/// Texts too long to count in 16 bits count as the largest 16-bit number.
qint16 MessageLength(const QString& text);

/// The text as it goes into the queue: every single quote removed, nothing else changed.
QString RemoveSingleQuotes(const QString& text);
