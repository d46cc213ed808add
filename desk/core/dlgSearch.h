#pragma once

#include "PickList.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

/// A screen that takes the value picked in the search dialog.
class SearchTarget
{
public:
    virtual ~SearchTarget() = default;
    /// Called with the first column of the row the user picked.
    virtual void GetData(const QString& code) = 0;
};

/// The search dialog: a pick list whose chosen row's first column goes back to the screen that
/// opened it.
class dlgSearch : public QDialog
{
    Q_OBJECT

public:
    explicit dlgSearch(QWidget* owner);

    /// Fills the grid with the rows and remembers the screen to answer.
    void SetCriteria(const PickList& rows, SearchTarget* target);

private:
    void confirm();

    QTableWidget* vssearchgrid;
    QPushButton* OKButton;
    QPushButton* CancelButton;
    SearchTarget* m_target = nullptr;
};
