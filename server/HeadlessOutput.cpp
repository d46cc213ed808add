#include "HeadlessOutput.h"

#include <QDateTime>

#include <cstdio>

void HeadlessOutput::statusLine(const QString& line)
{
    const QString stamped = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) +
                            QString(line).replace(u'\n', u' ');
    std::fputs(stamped.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void HeadlessOutput::message(const QString& text, const QString&, Icon)
{
    statusLine(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
}
