#include "frmPartymaster.h"

#include "DuplicateEntryError.h"
#include "MobileNumber.h"
#include "Prompter.h"
#include "ScreenCatalog.h"
#include "Store.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString kTitle = QStringLiteral("Client Master");

QLineEdit* makeBox(QWidget* parent, const char* name)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

QLabel* makeLabel(const QString& caption, QWidget* buddy)
{
    auto* label = new QLabel(caption, buddy->parentWidget());
    label->setBuddy(buddy);
    return label;
}

} // namespace

frmPartymaster::frmPartymaster(Store& store, Prompter& prompter, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("frmPartymaster"));
    setWindowTitle(kTitle);

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    txtcode = makeBox(Frame1, "txtcode");
    txtcode->setReadOnly(true);
    txtcode->setFocusPolicy(Qt::NoFocus);
    txtname = makeBox(Frame1, "txtname");
    txtMobileNo = makeBox(Frame1, "txtMobileNo");
    txtdpid = makeBox(Frame1, "txtdpid");
    txtemail = makeBox(Frame1, "txtemail");
    lblstat = new QLabel(Frame1);
    lblstat->setObjectName(QStringLiteral("lblstat"));
    lblstat->setMinimumWidth(lblstat->fontMetrics().horizontalAdvance(QStringLiteral("Invalid Mobile No")));
    auto* mobile = new QHBoxLayout;
    mobile->addWidget(txtMobileNo);
    mobile->addWidget(lblstat);
    auto* form = new QFormLayout(Frame1);
    form->addRow(QString(), txtcode);
    form->addRow(makeLabel(QStringLiteral("Name :"), txtname), txtname);
    form->addRow(makeLabel(QStringLiteral("Mobile No . :"), txtMobileNo), mobile);
    form->addRow(makeLabel(QStringLiteral("Client Code :"), txtdpid), txtdpid);
    form->addRow(makeLabel(QStringLiteral("E- Mail :"), txtemail), txtemail);

    m_navigation = NavigationButtons::create(this);
    cmdAdd = makeNamedButton(this, "cmdAdd", "&Add");
    cmdModify = makeNamedButton(this, "cmdModify", "&Modify");
    cmdDelete = makeNamedButton(this, "cmdDelete", "&Delete");
    cmdSearch = makeNamedButton(this, "cmdSearch", "&Search");
    cmdClose = makeNamedButton(this, "cmdClose", "&Close");
    cmdSave = makeNamedButton(this, "cmdSave", "&Save");
    cmdCancel = makeNamedButton(this, "cmdCancel", "&Cancel");

    Frame2 = new QGroupBox(QStringLiteral("Search Contact "), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    txtsname = makeBox(Frame2, "txtsname");
    txtsMobile = makeBox(Frame2, "txtsMobile");
    txtscode = makeBox(Frame2, "txtscode");
    cmdFindFirst = makeNamedButton(Frame2, "cmdFindFirst", "&Find");
    cmdFindNext = makeNamedButton(Frame2, "cmdFindNext", "Find &Next");
    cmdFindNext->setEnabled(false);
    auto* searchForm = new QFormLayout;
    searchForm->addRow(makeLabel(QStringLiteral("Client Name :"), txtsname), txtsname);
    searchForm->addRow(makeLabel(QStringLiteral("Mobile No. :"), txtsMobile), txtsMobile);
    searchForm->addRow(makeLabel(QStringLiteral("Client Code :"), txtscode), txtscode);
    auto* findButtons = new QHBoxLayout;
    findButtons->addStretch();
    findButtons->addWidget(cmdFindFirst);
    findButtons->addWidget(cmdFindNext);
    auto* searchLayout = new QVBoxLayout(Frame2);
    searchLayout->addLayout(searchForm);
    searchLayout->addLayout(findButtons);
    Frame2->hide();

    auto* navigation = new QHBoxLayout;
    for (QPushButton* button :
         {m_navigation.first, m_navigation.previous, m_navigation.next, m_navigation.last})
        navigation->addWidget(button);
    navigation->addStretch();
    auto* actions = new QGridLayout;
    actions->addWidget(cmdAdd, 0, 0);
    actions->addWidget(cmdModify, 0, 1);
    actions->addWidget(cmdDelete, 0, 2);
    actions->addWidget(cmdSearch, 0, 3);
    actions->addWidget(cmdSave, 1, 0);
    actions->addWidget(cmdCancel, 1, 1);
    actions->addWidget(cmdClose, 1, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addLayout(navigation);
    layout->addLayout(actions);
    layout->addWidget(Frame2);
    // Room the hidden search panel leaves stays below the controls.
    layout->addStretch();

    QWidget* order[] = {txtname,
                        txtMobileNo,
                        txtdpid,
                        txtemail,
                        cmdSave,
                        cmdCancel,
                        cmdAdd,
                        cmdModify,
                        cmdDelete,
                        cmdSearch,
                        cmdClose,
                        m_navigation.first,
                        m_navigation.previous,
                        m_navigation.next,
                        m_navigation.last,
                        txtsname,
                        txtsMobile,
                        txtscode,
                        cmdFindFirst,
                        cmdFindNext};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(txtMobileNo, &QLineEdit::textChanged, this,
            [this](const QString& text) { lblstat->setText(MobileNumberStatus(text)); });
    connect(m_navigation.first, &QPushButton::clicked, this, [this] { move(RecordMove::First); });
    connect(m_navigation.previous, &QPushButton::clicked, this, [this] { move(RecordMove::Previous); });
    connect(m_navigation.next, &QPushButton::clicked, this, [this] { move(RecordMove::Next); });
    connect(m_navigation.last, &QPushButton::clicked, this, [this] { move(RecordMove::Last); });
    connect(cmdAdd, &QPushButton::clicked, this, &frmPartymaster::add);
    connect(cmdModify, &QPushButton::clicked, this, &frmPartymaster::modify);
    connect(cmdSave, &QPushButton::clicked, this, &frmPartymaster::save);
    connect(cmdCancel, &QPushButton::clicked, this, &frmPartymaster::cancel);
    connect(cmdDelete, &QPushButton::clicked, this, &frmPartymaster::remove);
    connect(cmdSearch, &QPushButton::clicked, this, &frmPartymaster::toggleSearch);
    connect(cmdFindFirst, &QPushButton::clicked, this, &frmPartymaster::findFirst);
    connect(cmdFindNext, &QPushButton::clicked, this, &frmPartymaster::findNext);
    connect(cmdClose, &QPushButton::clicked, this, [this] { closeScreen(this); });

    m_rows = ClientTable(m_store).all();
    setMode(Mode::Browsing);
}

void frmPartymaster::inform(const QString& text, const QString& title)
{
    m_prompter.message({text, title, PromptMessage::Icon::Information, PromptMessage::Buttons::Ok});
}

void frmPartymaster::setMode(Mode mode)
{
    m_mode = mode;
    const bool editing = mode != Mode::Browsing;
    for (QPushButton* button : {cmdAdd, cmdModify, cmdDelete, cmdSearch, cmdClose, m_navigation.first,
                                m_navigation.previous, m_navigation.next, m_navigation.last})
        button->setEnabled(!editing);
    cmdSave->setEnabled(editing);
    cmdCancel->setEnabled(editing);
    Frame1->setEnabled(editing);
}

void frmPartymaster::showRow()
{
    const ClientRow& client = m_rows.at(m_position);
    showId(client.id);
    txtname->setText(client.name);
    txtMobileNo->setText(client.mobile);
    txtdpid->setText(client.code);
    txtemail->setText(client.email);
    lblstat->setText(MobileNumberStatus(client.mobile));
}

void frmPartymaster::showId(std::optional<qint64> id)
{
    m_shownId = id;
    txtcode->setText(id ? QString::number(*id) : QString());
}

void frmPartymaster::clearBoxes()
{
    showId(std::nullopt);
    for (QLineEdit* box : {txtname, txtMobileNo, txtdpid, txtemail})
        box->clear();
}

void frmPartymaster::move(RecordMove move)
{
    switch (MoveRecord(move, int(m_rows.size()), &m_position)) {
    case RecordShown::Row:
        showRow();
        break;
    case RecordShown::NoneFromFirst:
        inform(QStringLiteral("Your are at the begining of File"), kTitle);
        clearBoxes();
        break;
    case RecordShown::NoneFromLast:
        clearBoxes();
        break;
    }
}

void frmPartymaster::add()
{
    setMode(Mode::Adding);
    clearBoxes();
    txtname->setFocus();
}

void frmPartymaster::modify()
{
    if (!m_shownId) {
        inform(QStringLiteral("Unable to Open Blank Record"), kTitle);
        return;
    }
    setMode(Mode::Modifying);
    txtname->setFocus();
}

void frmPartymaster::cancel()
{
    setMode(Mode::Browsing);
    clearBoxes();
}

void frmPartymaster::save()
{
    if (txtname->text().isEmpty()) {
        inform(QStringLiteral("Name Must be Entered"), QString());
        txtname->setFocus();
        return;
    }
    // The same check as lblstat shows beside the box.
    if (!IsValidMobileNumber(txtMobileNo->text())) {
        inform(QStringLiteral("Pls. Enter any Valid Mobile No"), QString());
        txtMobileNo->setFocus();
        return;
    }
    if (txtdpid->text().trimmed().isEmpty()) {
        inform(QStringLiteral("Pls. enter Valid DP ID"), QString());
        txtdpid->setFocus();
        return;
    }
    ClientRow client{m_shownId.value_or(0), txtname->text(), txtMobileNo->text(), txtdpid->text(),
                     txtemail->text()};
    try {
        if (m_mode == Mode::Adding) {
            client.id = ClientTable(m_store).insert(client);
            m_rows.append(client);
            m_position = int(m_rows.size()) - 1;
        } else {
            if (!ClientTable(m_store).update(client)) {
                recordGone(client.id);
                return;
            }
            const int index = indexOfId(client.id);
            if (index >= 0) {
                m_rows[index] = client;
                m_position = index;
            }
        }
    } catch (const DuplicateEntryError&) {
        m_prompter.message({QStringLiteral("Duplicte Code Entry"), QString(), PromptMessage::Icon::None,
                            PromptMessage::Buttons::Ok});
        return;
    } catch (const StoreError& error) {
        m_prompter.message(
            {error.message(), QString(), PromptMessage::Icon::None, PromptMessage::Buttons::Ok});
        return;
    }
    showId(client.id);
    inform(QStringLiteral("Record Successfully Saved"), kTitle);
    if (m_mode == Mode::Modifying) {
        setMode(Mode::Browsing);
        return;
    }
    clearBoxes();
    txtname->setFocus();
}

void frmPartymaster::recordGone(qint64 id)
{
    inform(QStringLiteral("Record Not Saved, it no longer Exists"), kTitle);
    setMode(Mode::Browsing);
    m_rows = ClientTable(m_store).all();
    // The client that now stands where the deleted one stood, as after Delete.
    m_position = int(
        std::count_if(m_rows.cbegin(), m_rows.cend(), [id](const ClientRow& row) { return row.id < id; }));
    move(RecordMove::Previous);
}

void frmPartymaster::remove()
{
    if (!m_shownId) {
        inform(QStringLiteral("Unable to Delete Blank Record"), kTitle);
        return;
    }
    if (m_prompter.message({QStringLiteral("D E L E T E !!!"), kTitle, PromptMessage::Icon::None,
                            PromptMessage::Buttons::YesNo}) != PromptAnswer::Yes)
        return;
    const qint64 id = *m_shownId;
    try {
        ClientTable(m_store).remove(id);
    } catch (const StoreError& error) {
        m_prompter.message(
            {error.message(), QString(), PromptMessage::Icon::None, PromptMessage::Buttons::Ok});
        return;
    }
    inform(QStringLiteral("Record Successfully Deleted"), kTitle);
    const int index = indexOfId(id);
    if (index >= 0) {
        m_rows.removeAt(index);
        m_position = index;
    }
    move(RecordMove::Previous);
}

void frmPartymaster::toggleSearch()
{
    if (Frame2->isVisible()) {
        Frame2->hide();
        shrinkScreen(this, m_searchRoom);
        m_searchRoom = {};
        return;
    }
    Frame2->show();
    m_searchRoom = fitScreen(this);
    txtsname->setFocus();
}

int frmPartymaster::indexOfId(qint64 id)
{
    const auto find = [this, id] {
        for (int i = 0; i < m_rows.size(); ++i) {
            if (m_rows[i].id == id)
                return i;
        }
        return -1;
    };
    int index = find();
    if (index < 0) {
        m_rows = ClientTable(m_store).all();
        index = find();
    }
    return index;
}

std::optional<std::pair<ClientTable::Column, QString>> frmPartymaster::searchCriterion() const
{
    if (!txtsname->text().isEmpty())
        return std::pair{ClientTable::Column::Name, txtsname->text()};
    if (!txtsMobile->text().isEmpty())
        return std::pair{ClientTable::Column::Mobile, txtsMobile->text()};
    if (!txtscode->text().isEmpty())
        return std::pair{ClientTable::Column::Code, txtscode->text()};
    return std::nullopt;
}

void frmPartymaster::findFirst()
{
    int found = m_position;
    if (const auto criterion = searchCriterion()) {
        const auto id = ClientTable(m_store).findPrefix(criterion->first, criterion->second, -1);
        found = id ? indexOfId(*id) : -1;
    }
    if (found < 0 || found >= m_rows.size()) {
        clearBoxes();
        inform(QStringLiteral("No Record Found"), kTitle);
    } else {
        m_found = found;
        m_position = found;
        showRow();
    }
    cmdFindNext->setEnabled(true);
}

void frmPartymaster::findNext()
{
    int found = -1;
    if (const auto criterion = searchCriterion()) {
        const qint64 after = m_found >= 0 && m_found < m_rows.size() ? m_rows[m_found].id : -1;
        const auto id = ClientTable(m_store).findPrefix(criterion->first, criterion->second, after);
        found = id ? indexOfId(*id) : -1;
    } else if (m_found + 1 < m_rows.size()) {
        found = m_found + 1;
    }
    if (found < 0) {
        clearBoxes();
        inform(QStringLiteral("No Record Found"), kTitle);
        cmdFindNext->setEnabled(false);
        return;
    }
    m_found = found;
    m_position = found;
    showRow();
}
