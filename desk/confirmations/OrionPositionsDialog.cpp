#include "OrionPositionsDialog.h"

#include "OrionCashLineReader.h"
#include "OrionPositionsRow.h"
#include "Prompter.h"
#include "Store.h"
#include "TradeFileKind.h"
#include "TradeFileLines.h"
#include "WindowGeometry.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A preview needs no more of a first line than a position can reach.
constexpr qint64 kMostPreviewBytes = 4 * (OrionPositions::kLargest + 1);

QString mustBeWhole(const QString& box)
{
    return QStringLiteral("\"%1\" must be a whole number from 0 to %2.")
        .arg(box)
        .arg(OrionPositions::kLargest);
}

} // namespace

OrionPositionsDialog::OrionPositionsDialog(const TradeFileKind& kind, Store& store, Prompter& prompter,
                                           QWidget* owner)
    : QDialog(owner)
    , m_store(store)
    , m_prompter(prompter)
    , m_exchange(kind.settingsRow)
    , txtfile(new QLineEdit(this))
    , cmdFileBrow(new QPushButton(QStringLiteral("..."), this))
    , txtfileprev(new QPlainTextEdit(this))
    , OKButton(new QPushButton(QStringLiteral("Apply Changes"), this))
    , CancelButton(new QPushButton(QStringLiteral("&Close"), this))
    , Label4(new QLabel(this))
{
    setObjectName(kind.settings.name);
    setWindowTitle(kind.settings.caption);
    txtfile->setObjectName(QStringLiteral("txtfile"));
    cmdFileBrow->setObjectName(QStringLiteral("cmdFileBrow"));
    txtfileprev->setObjectName(QStringLiteral("txtfileprev"));
    OKButton->setObjectName(QStringLiteral("OKButton"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    Label4->setObjectName(QStringLiteral("Label4"));

    Label4->setText(QStringLiteral(
        "Pls. Enter Columns Start and Column Length. For you Comfort you can browse file by clickin on [...] "
        "button in lower panel. Select the Column and Press Apply button of concern Column to Calculate "
        "length "
        "and starting point automatically."));
    Label4->setWordWrap(true);

    auto* frame = new QGroupBox(QStringLiteral("Enter Configuratioen"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* grid = new QGridLayout(frame);
    grid->addWidget(new QLabel(QStringLiteral("Column Start"), frame), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Column Length"), frame), 0, 2);
    for (int pair = 0; pair < OrionPositions::kPairCount; ++pair) {
        auto* label = new QLabel(OrionPositions::pairLabel(pair), frame);
        label->setObjectName(QStringLiteral("Label1_%1").arg(pair));
        grid->addWidget(label, pair + 1, 0);
        for (int k = 2 * pair; k < 2 * pair + 2; ++k) {
            auto* box = new QLineEdit(frame);
            box->setObjectName(QStringLiteral("txtcol_%1").arg(k));
            grid->addWidget(box, pair + 1, 1 + k % 2);
            txtcol << box;
        }
        label->setBuddy(txtcol[2 * pair]);
        auto* apply = new QPushButton(QStringLiteral("&Apply"), frame);
        apply->setObjectName(QStringLiteral("cmdStore_%1").arg(pair));
        grid->addWidget(apply, pair + 1, 3);
        cmdStore << apply;
        connect(apply, &QPushButton::clicked, this, [this, pair] { applySelection(pair); });
    }
    cmdStore[0]->setToolTip(
        QStringLiteral("After Selecting the Column and width in Botton Panel Click on apply "));

    auto* browseLabel = new QLabel(QStringLiteral("Browse File :"), this);
    browseLabel->setBuddy(txtfile);
    txtfile->setReadOnly(true);
    auto* browse = new QHBoxLayout;
    browse->addWidget(browseLabel);
    browse->addWidget(txtfile, 1);
    browse->addWidget(cmdFileBrow);

    // A fixed-width line read by eye: one character to a column, nothing wrapped.
    auto* preview = new QGroupBox(QStringLiteral("File Preview"), this);
    preview->setObjectName(QStringLiteral("Frame2"));
    txtfileprev->setReadOnly(true);
    txtfileprev->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtfileprev->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtfileprev->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtfileprev->setFixedHeight(txtfileprev->fontMetrics().lineSpacing() * 3);
    auto* previewLayout = new QVBoxLayout(preview);
    previewLayout->addWidget(txtfileprev);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);

    auto* main = new QVBoxLayout(this);
    main->addWidget(Label4);
    main->addWidget(frame);
    main->addLayout(browse);
    main->addWidget(preview);
    main->addLayout(buttons);
    WindowGeometry::remember(this, objectName());

    connect(cmdFileBrow, &QPushButton::clicked, this, &OrionPositionsDialog::browse);
    connect(OKButton, &QPushButton::clicked, this, &OrionPositionsDialog::save);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    load();
}

void OrionPositionsDialog::load()
{
    std::optional<OrionPositionsRow::Texts> row;
    try {
        row = OrionPositionsRow(m_store).read(m_exchange);
    } catch (const StoreError& error) {
        m_prompter.message(
            {error.message(), windowTitle(), PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
        return;
    }
    // A value that cannot be used is shown as stored, so that the operator sees what to mend.
    QStringList unusable;
    for (int k = 0; k < OrionPositions::kCount; ++k) {
        const QString text = row ? (*row)[size_t(k)] : QString();
        txtcol[k]->setText(text);
        if (row && !OrionPositions::parse(text))
            unusable << QStringLiteral("\"%1\" holds \"%2\"").arg(OrionPositions::valueName(k), text);
    }
    if (!row) {
        warn(QStringLiteral("The Orion positions of row \"%1\" are missing from the settings; nothing can be "
                            "shown or saved.")
                 .arg(m_exchange));
    } else if (!unusable.isEmpty()) {
        warn(
            QStringLiteral("These stored positions are not whole numbers from 0 to %1, and no trade file can "
                           "be read until they are mended:\n%2")
                .arg(OrionPositions::kLargest)
                .arg(unusable.join(u'\n')));
    }
}

void OrionPositionsDialog::save()
{
    OrionPositionsRow::Values values;
    for (int k = 0; k < OrionPositions::kCount; ++k) {
        const std::optional<int> value = OrionPositions::parse(txtcol[k]->text());
        if (!value) {
            warn(mustBeWhole(OrionPositions::valueName(k)));
            txtcol[k]->setFocus();
            txtcol[k]->selectAll();
            return;
        }
        values[size_t(k)] = *value;
    }
    try {
        if (!OrionPositionsRow(m_store).write(m_exchange, values)) {
            warn(
                QStringLiteral("The Orion positions of row \"%1\" are missing from the settings; nothing was "
                               "saved.")
                    .arg(m_exchange));
            return;
        }
    } catch (const StoreError& error) {
        m_prompter.message(
            {error.message(), windowTitle(), PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
        return;
    }
    // Shows what is stored now, as a reading screen will take it.
    load();
}

void OrionPositionsDialog::browse()
{
    const QString current = txtfile->text();
    const QString path = m_prompter.openFileName(QStringLiteral("Open"),
                                                 current.isEmpty() ? QString() : QFileInfo(current).path(),
                                                 QStringLiteral("All Files (*.*)"));
    if (path.isEmpty())
        return;
    txtfile->setText(path);
    txtfileprev->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        warn(QStringLiteral("The file \"%1\" cannot be read (%2).").arg(path, file.errorString()));
        return;
    }
    QByteArray line = file.readLine(kMostPreviewBytes);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    const QString preview = DecodeTradeText(line);
    txtfileprev->setPlainText(preview);
    // The whole line in view, so that a field can be marked wherever it stands; wider than the screen,
    // it scrolls.
    const int needed = txtfileprev->fontMetrics().horizontalAdvance(preview + u' ') +
                       2 * (txtfileprev->frameWidth() + int(txtfileprev->document()->documentMargin()));
    const QRect room = screen()->availableGeometry();
    const int besidePreview = std::max(0, width() - txtfileprev->width());
    txtfileprev->setMinimumWidth(std::min(needed, room.width() - besidePreview));
    if (width() < sizeHint().width())
        resize(std::min(sizeHint().width(), room.width()), height());
}

void OrionPositionsDialog::applySelection(int pair)
{
    const QTextCursor selection = txtfileprev->textCursor();
    if (!selection.hasSelection()) {
        warn(
            QStringLiteral("Select the field in the File Preview first: where the selection begins gives its "
                           "start, and its width the length."));
        return;
    }
    txtcol[2 * pair]->setText(QString::number(selection.selectionStart()));
    txtcol[2 * pair + 1]->setText(QString::number(selection.selectionEnd() - selection.selectionStart()));
}

void OrionPositionsDialog::warn(const QString& text)
{
    m_prompter.message({text, windowTitle(), PromptMessage::Icon::Warning, PromptMessage::Buttons::Ok});
}
