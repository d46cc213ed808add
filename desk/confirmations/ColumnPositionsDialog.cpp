#include "ColumnPositionsDialog.h"

#include "ColumnPositions.h"
#include "OrionPositionsDialog.h"
#include "Prompter.h"
#include "Store.h"
#include "TradeFileKind.h"
#include "WindowGeometry.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

namespace {

const QString kClose = QStringLiteral("CLOSE");
const QString kCancel = QStringLiteral("CANCEL");

} // namespace

QString ColumnPositionsDialog::labelCaption(int k)
{
    static const QStringList captions = {
        QStringLiteral("Client Code :"), QStringLiteral("Script Name :"),       QStringLiteral("Rate :"),
        QStringLiteral("Quantity :"),    QStringLiteral("Buy / Sale Status :"), QStringLiteral("Month :"),
        QStringLiteral("Option Type :"), QStringLiteral("Option Value :")};
    return captions.value(k);
}

QDialog* MakeSettingsDialog(const TradeFileKind& kind, Store& store, Prompter& prompter, QWidget* owner)
{
    if (kind.settings.name.isEmpty())
        return nullptr;
    if (kind.positionsTable == TradeFileKind::PositionsTable::BnfOrion)
        return new OrionPositionsDialog(kind, store, prompter, owner);
    return new ColumnPositionsDialog(kind, store, prompter, owner);
}

QDialog* MakeSettingsDialog(const QString& name, Store& store, Prompter& prompter, QWidget* owner)
{
    for (const TradeFileKind& kind : TradeFileKind::all()) {
        if (kind.settings.name == name)
            return MakeSettingsDialog(kind, store, prompter, owner);
    }
    return nullptr;
}

ColumnPositionsDialog::ColumnPositionsDialog(const TradeFileKind& kind, Store& store, Prompter& prompter,
                                             QWidget* owner)
    : QDialog(owner)
    , m_store(store)
    , m_prompter(prompter)
    , m_cd(kind.settingsRow)
    , OKButton(new QPushButton(QStringLiteral("OK"), this))
    , CancelButton(new QPushButton(QStringLiteral("&Close"), this))
{
    setObjectName(kind.settings.name);
    setWindowTitle(kind.settings.caption);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* heading = new QLabel(kind.settings.heading, this);
    heading->setObjectName(QStringLiteral("lblheading"));
    auto* grid = new QGridLayout;
    grid->addWidget(heading, 0, 1);
    for (int k = 0; k < kind.settings.positionCount && k < ColumnPositions::kCount; ++k) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("txtcolno_%1").arg(k));
        auto* label = new QLabel(labelCaption(k), this);
        label->setObjectName(QStringLiteral("Label1_%1").arg(k));
        label->setBuddy(box);
        grid->addWidget(label, k + 1, 0);
        grid->addWidget(box, k + 1, 1);
        txtcolno << box;
        Label1 << label;
        connect(box, &QLineEdit::textChanged, this, [this] {
            if (!m_loading)
                setEdited(true);
        });
    }
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    buttons->addStretch();
    auto* main = new QHBoxLayout(this);
    main->addLayout(grid);
    main->addLayout(buttons);
    OKButton->setDefault(true);
    WindowGeometry::remember(this, objectName());

    connect(OKButton, &QPushButton::clicked, this, &ColumnPositionsDialog::save);
    connect(CancelButton, &QPushButton::clicked, this, &ColumnPositionsDialog::closeOrCancel);

    load();
}

void ColumnPositionsDialog::load()
{
    std::optional<ColumnPositions::Row> row;
    bool failed = false;
    try {
        row = ColumnPositions(m_store).read(m_cd);
    } catch (const StoreError& error) {
        reportStoreError(error.message());
        failed = true;
    }
    m_loading = true;
    for (int k = 0; k < txtcolno.size(); ++k) {
        const std::optional<int> value = row ? (*row)[size_t(k)] : std::nullopt;
        txtcolno[k]->setText(value ? QString::number(*value) : QString());
    }
    m_loading = false;
    setEdited(false);
    if (!row && !failed)
        reportMissingRow();
}

void ColumnPositionsDialog::save()
{
    QList<int> values;
    for (int k = 0; k < txtcolno.size(); ++k) {
        bool ok = false;
        const int value = txtcolno[k]->text().trimmed().toInt(&ok);
        // The readers take a position as a 16-bit whole number; anything else would make them
        // read the wrong field or fail on load.
        if (!ok || value < 0 || value > std::numeric_limits<qint16>::max()) {
            QString name = Label1[k]->text();
            name.remove(QLatin1Char(':'));
            m_prompter.message({QStringLiteral("\"%1\" must be a column number: a whole number from 0 to %2.")
                                    .arg(name.trimmed())
                                    .arg(std::numeric_limits<qint16>::max()),
                                windowTitle(), PromptMessage::Icon::Warning, PromptMessage::Buttons::Ok});
            txtcolno[k]->setFocus();
            txtcolno[k]->selectAll();
            return;
        }
        values << value;
    }
    try {
        if (!ColumnPositions(m_store).write(m_cd, values)) {
            reportMissingRow();
            return;
        }
    } catch (const StoreError& error) {
        reportStoreError(error.message());
        return;
    }
    // Shows what is stored now, as a reading screen will take it.
    load();
}

void ColumnPositionsDialog::setEdited(bool edited)
{
    m_edited = edited;
    CancelButton->setText(edited ? kCancel : kClose);
}

void ColumnPositionsDialog::closeOrCancel()
{
    if (m_edited)
        load();
    else
        reject();
}

void ColumnPositionsDialog::keyPressEvent(QKeyEvent* event)
{
    // Esc is the close button: an edited dialog is first put back as stored, and stays open.
    if (event->matches(QKeySequence::Cancel)) {
        closeOrCancel();
        return;
    }
    QDialog::keyPressEvent(event);
}

void ColumnPositionsDialog::reportMissingRow()
{
    m_prompter.message(
        {QStringLiteral("The column positions of row \"%1\" are missing from the settings; nothing can be "
                        "shown or saved.")
             .arg(m_cd),
         windowTitle(), PromptMessage::Icon::Warning, PromptMessage::Buttons::Ok});
}

void ColumnPositionsDialog::reportStoreError(const QString& message)
{
    m_prompter.message({message, windowTitle(), PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
}
