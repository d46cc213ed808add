#include "Frm_BankDetails.h"

#include "WindowGeometry.h"

#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

Frm_BankDetails::Frm_BankDetails(QWidget* owner)
    : QDialog(owner)
{
    setObjectName(QStringLiteral("Frm_BankDetails"));
    setWindowTitle(QStringLiteral("Bank Details"));

    auto* heading = new QLabel(QStringLiteral("Payment for your Kelvra SMS account"), this);
    QFont font = heading->font();
    font.setBold(true);
    heading->setFont(font);

    auto* details = new QFormLayout;
    const auto add = [this, details](const QString& caption, const QString& value) {
        auto* label = new QLabel(value, this);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        details->addRow(caption, label);
    };
    add(QStringLiteral("Account name :"), QStringLiteral("Kelvra Messaging Services"));
    add(QStringLiteral("Bank :"), QStringLiteral("Harbour Cooperative Bank, Fort Branch"));
    add(QStringLiteral("Account number :"), QStringLiteral("0042 1170 5503"));
    add(QStringLiteral("Branch code :"), QStringLiteral("HCBK0000117"));

    auto* note = new QLabel(QStringLiteral("Please quote your SMS user name with every payment and send the "
                                           "payment advice to your vendor, who will credit your SMS balance "
                                           "once the amount is received."),
                            this);
    note->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(details);
    layout->addWidget(note);
    WindowGeometry::remember(this, objectName(), QSize(420, 220));
}
