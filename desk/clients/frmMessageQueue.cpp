#include "frmMessageQueue.h"

#include "NavigationButtons.h"
#include "Prompter.h"
#include "QueueListing.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <numeric>

namespace {

const QString kTitle = QStringLiteral("Message Queue");

// The grids' column widths are given in twips, 15 to a pixel.
constexpr int kTwipsPerPixel = 15;

/// A grid whose columns start at their given widths, widen to their texts, and share out the room
/// left over to one stretching column.
class FittedGrid : public QTableView
{
public:
    FittedGrid(QAbstractItemModel* model, QList<int> twips, int stretchColumn, int rowsShown, QWidget* parent)
        : QTableView(parent)
        , m_stretchColumn(stretchColumn)
        , m_rowsShown(rowsShown)
    {
        for (const int width : twips)
            m_designed << width / kTwipsPerPixel;
        setModel(model);
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setWordWrap(false);
        verticalHeader()->setVisible(false);
        // Rows of one height: the view then lays out 100,000 of them without measuring each.
        verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
        horizontalHeader()->setStretchLastSection(false);
        connect(model, &QAbstractItemModel::modelReset, this, &FittedGrid::fitColumns);
    }

    void fitColumns()
    {
        const bool empty = model()->rowCount() == 0;
        m_fitted.clear();
        // Only the rows in and around the view are measured (the header's resize precision).
        for (int column = 0; column < m_designed.size(); ++column)
            m_fitted << std::max(empty ? 0 : sizeHintForColumn(column),
                                 horizontalHeader()->sectionSizeHint(column));
        layOutColumns();
        updateGeometry();
    }

    QSize sizeHint() const override
    {
        int width = 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
        for (const int column : wanted())
            width += column;
        return {width, 2 * frameWidth() + horizontalHeader()->sizeHint().height() +
                           m_rowsShown * verticalHeader()->defaultSectionSize()};
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QTableView::resizeEvent(event);
        layOutColumns();
    }

private:
    // Each shown column's width: as designed, or wider for its texts; hidden columns take none.
    QList<int> wanted() const
    {
        QList<int> widths;
        for (int column = 0; column < m_designed.size(); ++column)
            widths << (isColumnHidden(column) ? 0 : std::max(m_designed[column], m_fitted.value(column)));
        return widths;
    }

    void layOutColumns()
    {
        if (m_fitted.size() != m_designed.size())
            return;
        QList<int> widths = wanted();
        const auto total = [&widths] {
            return std::accumulate(widths.cbegin(), widths.cend(), 0);
        };
        if (total() > viewport()->width()) {
            // Short of room, each column gives way down to its texts.
            for (int column = 0; column < widths.size(); ++column)
                widths[column] = isColumnHidden(column) ? 0 : m_fitted[column];
        }
        widths[m_stretchColumn] += std::max(0, viewport()->width() - total());
        for (int column = 0; column < widths.size(); ++column) {
            if (!isColumnHidden(column))
                setColumnWidth(column, widths[column]);
        }
    }

    QList<int> m_designed;
    QList<int> m_fitted;
    int m_stretchColumn;
    int m_rowsShown;
};

} // namespace

frmMessageQueue::frmMessageQueue(Store& store, const QString& userName, Prompter& prompter, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_userName(userName)
    , m_prompter(prompter)
    , m_lengths(this)
    , m_queue(this)
{
    setObjectName(QStringLiteral("frmMessageQueue"));
    setWindowTitle(kTitle);

    // A few desk users wait in the queue at once: their counts take little room, the messages the rest.
    vsothlist = new FittedGrid(&m_lengths, {2685, 960}, 0, 3, this);
    vsothlist->setObjectName(QStringLiteral("vsothlist"));
    vsothlist->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    vsmq = new FittedGrid(&m_queue, {600, 465, 1065, 960, 7005, 960, 960}, QueueGridModel::Message, 16, this);
    vsmq->setObjectName(QStringLiteral("vsmq"));
    vsmq->setColumnHidden(QueueGridModel::Nid, true);

    cmdInvert = makeNamedButton(this, "cmdInvert", "&Invert Selection");
    cmdSelNone = makeNamedButton(this, "cmdSelNone", "Select &None");
    cmdSelAll = makeNamedButton(this, "cmdSelAll", "&Select All");
    cmdUpdate = makeNamedButton(this, "cmdUpdate", "&Update && Refresh");
    cmdRefresh = makeNamedButton(this, "cmdRefresh", "&Refresh");

    auto* buttons = new QGridLayout;
    buttons->addWidget(cmdInvert, 0, 0);
    buttons->addWidget(cmdSelNone, 0, 1);
    buttons->addWidget(cmdSelAll, 0, 2);
    buttons->addWidget(cmdUpdate, 1, 0, 1, 2);
    buttons->addWidget(cmdRefresh, 1, 2);
    buttons->setRowStretch(2, 1);
    auto* top = new QHBoxLayout;
    top->addWidget(vsothlist);
    top->addLayout(buttons);
    top->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(vsmq, 1);

    connect(cmdSelAll, &QPushButton::clicked, this, [this] { m_queue.setAllTicked(true); });
    connect(cmdSelNone, &QPushButton::clicked, this, [this] { m_queue.setAllTicked(false); });
    connect(cmdInvert, &QPushButton::clicked, this, [this] { m_queue.invertTicks(); });
    connect(cmdUpdate, &QPushButton::clicked, this, &frmMessageQueue::updateAndRefresh);
    connect(cmdRefresh, &QPushButton::clicked, this, &frmMessageQueue::reload);

    reload();
}

void frmMessageQueue::reload()
{
    const QueueListing listing(m_store);
    m_lengths.setLengths(listing.lengths());
    m_queue.setMessages(listing.messagesOf(m_userName));
}

void frmMessageQueue::updateAndRefresh()
{
    const QList<qint64> ticked = m_queue.tickedNids();
    const int deleted = QueueListing(m_store).deleteQueued(ticked);
    reload();
    if (const qsizetype taken = ticked.size() - deleted; taken > 0) {
        m_prompter.message({QStringLiteral("%1 of the ticked messages had already been taken by the dispatch "
                                           "server and were not deleted.")
                                .arg(taken),
                            kTitle, PromptMessage::Icon::Information, PromptMessage::Buttons::Ok});
    }
}
