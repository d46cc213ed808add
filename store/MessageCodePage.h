#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The code page in which texts reach the SMS gateway. The dispatch server encodes its uploads with it;
// the desk asks it, before queueing, which characters of a text will not arrive as typed.

/// The system code page is windows-1252. A character outside it that has a customary readable form
/// goes out as that form (the rupee sign as "Rs.", a figure dash as "-", a thin space as " ", an
/// invisible format character as nothing); any other becomes "?" (one per code point).
QByteArray ToSystemCodePage(const QString& text);
/// Total: the five bytes windows-1252 leaves undefined (81, 8D, 8F, 90, 9D) become the C1 controls
/// of the same value, as the system itself reads them, so they survive a round trip.
QString FromSystemCodePage(const QByteArray& bytes);

/// A character outside the system code page that goes out in a readable form instead.
struct CodePageReplacement
{
    /// One character: one code point, two UTF-16 units outside the Basic Multilingual Plane.
    QString character;
    /// What goes out in its place; empty for an invisible character that is left out.
    QString readable;

    bool operator==(const CodePageReplacement&) const = default;
};

/// What ToSystemCodePage changes of one text: each character once, in order of first appearance.
struct CodePageLoss
{
    QList<CodePageReplacement> replaced;
    /// Characters that go out as "?".
    QStringList lost;

    bool isEmpty() const { return replaced.isEmpty() && lost.isEmpty(); }
};

/// The characters of text that the system code page does not carry as they are.
CodePageLoss FindCodePageLoss(const QString& text);
