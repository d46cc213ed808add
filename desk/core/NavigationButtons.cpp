#include "NavigationButtons.h"

#include <QPushButton>
#include <QStyle>

namespace {

QPushButton* makePicture(QWidget* parent, const char* name, QStyle::StandardPixmap picture, const char* tip)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(parent->style()->standardIcon(picture));
    button->setToolTip(QLatin1String(tip));
    button->setAccessibleName(QLatin1String(tip));
    return button;
}

} // namespace

NavigationButtons NavigationButtons::create(QWidget* parent)
{
    return {makePicture(parent, "cmdFirst", QStyle::SP_MediaSkipBackward, "First"),
            makePicture(parent, "cmdPrev", QStyle::SP_MediaSeekBackward, "Previous"),
            makePicture(parent, "cmdNext", QStyle::SP_MediaSeekForward, "Next"),
            makePicture(parent, "cmdLast", QStyle::SP_MediaSkipForward, "Last")};
}

QPushButton* makeNamedButton(QWidget* parent, const char* name, const char* caption)
{
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

RecordShown MoveRecord(RecordMove move, int count, int* position)
{
    if (move == RecordMove::Previous)
        move = *position - 1 < 0 ? RecordMove::First : move;
    if (move == RecordMove::Next)
        move = *position + 1 >= count ? RecordMove::Last : move;
    if (count == 0) {
        *position = -1;
        return move == RecordMove::Last ? RecordShown::NoneFromLast : RecordShown::NoneFromFirst;
    }
    switch (move) {
    case RecordMove::First:
        *position = 0;
        break;
    case RecordMove::Previous:
        --*position;
        break;
    case RecordMove::Next:
        ++*position;
        break;
    case RecordMove::Last:
        *position = count - 1;
        break;
    }
    return RecordShown::Row;
}
