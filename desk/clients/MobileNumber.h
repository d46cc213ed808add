#pragma once

#include <QString>

/// True when the text is at least 10 characters long and reads as a number as a whole.
bool IsValidMobileNumber(const QString& text);

/// What the client screen shows beside a mobile number: "OK" or "Invalid Mobile No".
QString MobileNumberStatus(const QString& text);
