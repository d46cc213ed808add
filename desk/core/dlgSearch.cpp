#include "dlgSearch.h"

#include "WindowGeometry.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

dlgSearch::dlgSearch(QWidget* owner)
    : QDialog(owner)
    , vssearchgrid(new QTableWidget(this))
    , OKButton(new QPushButton(QStringLiteral("OK"), this))
    , CancelButton(new QPushButton(QStringLiteral("Cancel"), this))
{
    setObjectName(QStringLiteral("dlgSearch"));
    setWindowTitle(QStringLiteral("Search"));
    setAttribute(Qt::WA_DeleteOnClose);
    vssearchgrid->setObjectName(QStringLiteral("vssearchgrid"));
    OKButton->setObjectName(QStringLiteral("OKButton"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    vssearchgrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    vssearchgrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    vssearchgrid->setSelectionMode(QAbstractItemView::SingleSelection);
    vssearchgrid->horizontalHeader()->setStretchLastSection(true);
    vssearchgrid->verticalHeader()->setVisible(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(vssearchgrid);
    layout->addLayout(buttons);
    OKButton->setDefault(true);
    WindowGeometry::remember(this, objectName(), QSize(360, 420));

    connect(OKButton, &QPushButton::clicked, this, &dlgSearch::confirm);
    connect(vssearchgrid, &QTableWidget::cellDoubleClicked, this, &dlgSearch::confirm);
    connect(CancelButton, &QPushButton::clicked, this, &dlgSearch::reject);
}

void dlgSearch::SetCriteria(const PickList& rows, SearchTarget* target)
{
    m_target = target;
    vssearchgrid->clear();
    vssearchgrid->setColumnCount(int(rows.columns.size()));
    vssearchgrid->setHorizontalHeaderLabels(rows.columns);
    vssearchgrid->setRowCount(int(rows.rows.size()));
    for (int row = 0; row < rows.rows.size(); ++row) {
        const QStringList& values = rows.rows[row];
        for (int column = 0; column < values.size() && column < rows.columns.size(); ++column)
            vssearchgrid->setItem(row, column, new QTableWidgetItem(values[column]));
    }
    if (vssearchgrid->rowCount() > 0)
        vssearchgrid->selectRow(0);
    // Never narrower than its columns: the dialog opens, and stays, wide enough to show them whole.
    vssearchgrid->resizeColumnsToContents();
    int width = 2 * vssearchgrid->frameWidth() + vssearchgrid->verticalScrollBar()->sizeHint().width();
    const QAbstractItemView* view = vssearchgrid;
    for (int column = 0; column < vssearchgrid->columnCount(); ++column)
        width += std::max(view->sizeHintForColumn(column),
                          vssearchgrid->horizontalHeader()->sectionSizeHint(column));
    vssearchgrid->setMinimumWidth(width);
}

void dlgSearch::confirm()
{
    const int row = vssearchgrid->currentRow();
    if (m_target && vssearchgrid->rowCount() > 0 && row >= 0) {
        const QTableWidgetItem* item = vssearchgrid->item(row, 0);
        m_target->GetData(item ? item->text() : QString());
    }
    accept();
}
