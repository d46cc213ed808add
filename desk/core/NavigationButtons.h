#pragma once

class QPushButton;
class QWidget;

/// The four picture buttons that move through a screen's rows: first, previous, next, last.
struct NavigationButtons
{
    QPushButton* first;
    QPushButton* previous;
    QPushButton* next;
    QPushButton* last;

    static NavigationButtons create(QWidget* parent);
};

/// A caption button with its objectName.
QPushButton* makeNamedButton(QWidget* parent, const char* name, const char* caption);

/// Where a navigation button moves a screen's current row.
enum class RecordMove { First, Previous, Next, Last };

/// What the screen shows after a move: the row at the new position, or nothing because there are
/// no rows (reached through First, which also tells the operator, or through Last, which does not).
enum class RecordShown { Row, NoneFromFirst, NoneFromLast };

/// Moves position among count rows as the navigation buttons do: Previous before the first row
/// does First, Next after the last row does Last. The position is -1 when there is no row.
RecordShown MoveRecord(RecordMove move, int count, int* position);
