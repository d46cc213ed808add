#include "MobileNumber.h"

#include <QRegularExpression>

bool IsValidMobileNumber(const QString& text)
{
    // A number as a person writes one: optional sign, digits, an optional decimal part and
    // exponent, blanks around it.
    static const QRegularExpression number(
        QStringLiteral("^\\s*[+-]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    return text.size() >= 10 && number.match(text).hasMatch();
}

QString MobileNumberStatus(const QString& text)
{
    return IsValidMobileNumber(text) ? QStringLiteral("OK") : QStringLiteral("Invalid Mobile No");
}
