#include "rptPartyMaster.h"

#include "NavigationButtons.h"
#include "Prompter.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kTitle = QStringLiteral("Party Master");

// The grids' column widths are given in twips, 15 to a pixel.
constexpr int kTwipsPerPixel = 15;

} // namespace

ReportGridView::ReportGridView(QWidget* parent)
    : QTableView(parent)
    , m_model(this)
{
    setModel(&m_model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setWordWrap(false);
    verticalHeader()->setVisible(false);
    // Rows of one height: the view then lays out a million of them without measuring each.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setStretchLastSection(true);
}

void ReportGridView::setGrid(ExportGrid grid)
{
    m_model.setGrid(std::move(grid));
    const ExportGrid& shown = m_model.grid();
    // A column is never narrower than its caption, whatever the font.
    for (int column = 0; column < shown.columnCount(); ++column)
        setColumnWidth(column, std::max(shown.columns[column].width / kTwipsPerPixel,
                                        horizontalHeader()->sectionSizeHint(column)));
    updateGeometry();
}

QSize ReportGridView::sizeHint() const
{
    int width = 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < m_model.grid().columnCount(); ++column)
        width += columnWidth(column);
    constexpr int kRowsShown = 12;
    return {width, 2 * frameWidth() + horizontalHeader()->sizeHint().height() +
                       kRowsShown * verticalHeader()->defaultSectionSize()};
}

ExportGrid ReportGridView::grid() const
{
    ExportGrid grid = m_model.grid();
    grid.controlWidth = width() * kTwipsPerPixel;
    return grid;
}

void ExportReportPage(const ExportGrid& grid, const QString& applicationFolder, Prompter& prompter,
                      const OpenPage& openPage, const QString& title)
{
    const QString page = QDir(applicationFolder).filePath(Reports::kPartyMasterPage);
    if (!QDir().mkpath(applicationFolder) || !SaveGridAsHtml(page, grid)) {
        prompter.message({QStringLiteral("%1 cannot be written.").arg(QDir::toNativeSeparators(page)), title,
                          PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
        return;
    }
    openPage(page);
}

rptPartyMaster::rptPartyMaster(Store& store, const QString& applicationFolder, Prompter& prompter,
                               OpenPage openPage, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_applicationFolder(applicationFolder)
    , m_prompter(prompter)
    , m_openPage(std::move(openPage))
{
    setObjectName(QStringLiteral("rptPartyMaster"));
    setWindowTitle(kTitle);

    vsParty = new ReportGridView(this);
    vsParty->setObjectName(QStringLiteral("vsParty"));
    cmdDelete = makeNamedButton(this, "cmdDelete", "&Delete All records");
    cmdHTMLExport = makeNamedButton(this, "cmdHTMLExport", "Export to &HTML");
    cmdExcelExport = makeNamedButton(this, "cmdExcelExport", "Export to &Excel");
    cmdrefresh = makeNamedButton(this, "cmdrefresh", "&Refresh");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdDelete);
    buttons->addStretch();
    buttons->addWidget(cmdHTMLExport);
    buttons->addWidget(cmdExcelExport);
    buttons->addWidget(cmdrefresh);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(vsParty, 1);
    layout->addLayout(buttons);

    connect(cmdDelete, &QPushButton::clicked, this, &rptPartyMaster::deleteAll);
    connect(cmdHTMLExport, &QPushButton::clicked, this, &rptPartyMaster::exportHtml);
    connect(cmdExcelExport, &QPushButton::clicked, this, &rptPartyMaster::exportWorkbook);
    connect(cmdrefresh, &QPushButton::clicked, this, &rptPartyMaster::reload);

    reload();
}

void rptPartyMaster::reload()
{
    vsParty->setGrid(Reports(m_store).clients());
}

void rptPartyMaster::deleteAll()
{
    if (m_prompter.message({QStringLiteral("Are you sure to delete all record ?"), QString(),
                            PromptMessage::Icon::Question, PromptMessage::Buttons::YesNo}) !=
        PromptAnswer::Yes)
        return;
    const std::optional<QString> code = m_prompter.text(QString(), QStringLiteral("Enter Password"), true);
    // The grid keeps showing the clients until "Refresh".
    if (code && Reports(m_store).deleteAllClients(*code)) {
        m_prompter.message({QStringLiteral("Records deleted successfully"), QString(),
                            PromptMessage::Icon::None, PromptMessage::Buttons::Ok});
    }
}

void rptPartyMaster::exportHtml()
{
    ExportReportPage(vsParty->grid(), m_applicationFolder, m_prompter, m_openPage, kTitle);
}

void rptPartyMaster::exportWorkbook()
{
    QDir().mkpath(m_applicationFolder);
    const WorkbookExport written =
        ExportGridToWorkbook(m_applicationFolder, Reports::kPartyMasterWorkbook, vsParty->grid());
    if (!written.ok()) {
        m_prompter.message(
            {written.error, kTitle, PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
    }
}
