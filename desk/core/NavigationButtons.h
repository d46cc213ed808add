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
