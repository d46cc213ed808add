#include "frmUserMaster.h"

#include "DuplicateEntryError.h"
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

namespace {
const QString kTitle = QStringLiteral("User Master");
const QString kDeletable = QStringLiteral("Y");
} // namespace

frmUserMaster::frmUserMaster(Store& store, Prompter& prompter, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_prompter(prompter)
{
    setObjectName(QStringLiteral("frmUserMaster"));
    setWindowTitle(kTitle);

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    txtusername = new QLineEdit(Frame1);
    txtusername->setObjectName(QStringLiteral("txtusername"));
    txtpassword = new QLineEdit(Frame1);
    txtpassword->setObjectName(QStringLiteral("txtpassword"));
    lbltodel = new QLabel(Frame1);
    lbltodel->setObjectName(QStringLiteral("lbltodel"));
    lbltodel->hide();
    auto* form = new QFormLayout(Frame1);
    auto* nameLabel = new QLabel(QStringLiteral("User Name :"), Frame1);
    nameLabel->setBuddy(txtusername);
    auto* passwordLabel = new QLabel(QStringLiteral("Password :"), Frame1);
    passwordLabel->setBuddy(txtpassword);
    form->addRow(nameLabel, txtusername);
    form->addRow(passwordLabel, txtpassword);

    m_navigation = NavigationButtons::create(this);
    cmdAdd = makeNamedButton(this, "cmdAdd", "&Add");
    cmdModify = makeNamedButton(this, "cmdModify", "&Modify");
    cmdDelete = makeNamedButton(this, "cmdDelete", "&Delete");
    cmdSearch = makeNamedButton(this, "cmdSearch", "&Search");
    cmdClose = makeNamedButton(this, "cmdClose", "&Close");
    cmdSave = makeNamedButton(this, "cmdSave", "&Save");
    cmdCancel = makeNamedButton(this, "cmdCancel", "&Cancel");

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

    QWidget* order[] = {txtusername,
                        txtpassword,
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
                        m_navigation.last};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(m_navigation.first, &QPushButton::clicked, this, [this] { move(RecordMove::First); });
    connect(m_navigation.previous, &QPushButton::clicked, this, [this] { move(RecordMove::Previous); });
    connect(m_navigation.next, &QPushButton::clicked, this, [this] { move(RecordMove::Next); });
    connect(m_navigation.last, &QPushButton::clicked, this, [this] { move(RecordMove::Last); });
    connect(cmdAdd, &QPushButton::clicked, this, &frmUserMaster::add);
    connect(cmdModify, &QPushButton::clicked, this, &frmUserMaster::modify);
    connect(cmdSave, &QPushButton::clicked, this, &frmUserMaster::save);
    connect(cmdCancel, &QPushButton::clicked, this, &frmUserMaster::cancel);
    connect(cmdDelete, &QPushButton::clicked, this, &frmUserMaster::remove);
    connect(cmdSearch, &QPushButton::clicked, this, &frmUserMaster::search);
    connect(cmdClose, &QPushButton::clicked, this, [this] { closeScreen(this); });

    m_rows = UserTable(m_store).all();
    setMode(Mode::Browsing);
}

void frmUserMaster::inform(const QString& text, const QString& title)
{
    m_prompter.message({text, title, PromptMessage::Icon::Information, PromptMessage::Buttons::Ok});
}

void frmUserMaster::setMode(Mode mode)
{
    m_mode = mode;
    const bool editing = mode != Mode::Browsing;
    for (QPushButton* button : {cmdAdd, cmdModify, cmdSearch, cmdClose, m_navigation.first,
                                m_navigation.previous, m_navigation.next, m_navigation.last})
        button->setEnabled(!editing);
    cmdSave->setEnabled(editing);
    cmdCancel->setEnabled(editing);
    Frame1->setEnabled(editing);
    // A user is modified by name, so the name stays as stored.
    txtusername->setReadOnly(mode == Mode::Modifying);
    enableDelete();
}

void frmUserMaster::enableDelete()
{
    // A protected user keeps its Delete button disabled while it is shown.
    cmdDelete->setEnabled(m_mode == Mode::Browsing && m_todel != QLatin1String("N"));
}

void frmUserMaster::showTodel(const QString& todel)
{
    m_todel = todel;
    lbltodel->setText(todel);
    enableDelete();
}

void frmUserMaster::showRow()
{
    const UserRow& user = m_rows.at(m_position);
    txtusername->setText(user.username);
    txtpassword->setText(user.userpass);
    showTodel(user.todel);
}

void frmUserMaster::clearBoxes()
{
    txtusername->clear();
    txtpassword->clear();
    showTodel(QString());
}

void frmUserMaster::move(RecordMove move)
{
    switch (MoveRecord(move, int(m_rows.size()), &m_position)) {
    case RecordShown::Row:
        showRow();
        break;
    case RecordShown::NoneFromFirst:
        inform(QStringLiteral("Your are at the begining of File"));
        clearBoxes();
        break;
    case RecordShown::NoneFromLast:
        clearBoxes();
        break;
    }
}

void frmUserMaster::add()
{
    setMode(Mode::Adding);
    txtusername->clear();
    txtpassword->clear();
    showTodel(kDeletable);
    txtusername->setFocus();
}

void frmUserMaster::modify()
{
    if (txtusername->text().isEmpty()) {
        inform(QStringLiteral("Can not open Blank Record"));
        return;
    }
    setMode(Mode::Modifying);
    txtpassword->setFocus();
}

void frmUserMaster::save()
{
    if (txtusername->text().isEmpty()) {
        txtusername->setFocus();
        return;
    }
    if (txtpassword->text().isEmpty()) {
        txtpassword->setFocus();
        return;
    }
    const UserRow user{txtusername->text(), txtpassword->text(), m_todel};
    try {
        if (m_mode == Mode::Adding) {
            UserTable(m_store).insert(user);
            m_rows.append(user);
            m_position = int(m_rows.size()) - 1;
        } else {
            // The name box is locked while modifying, so it names the user being changed.
            UserTable(m_store).update(user);
            const int index = indexOf(user.username);
            if (index >= 0) {
                m_rows[index].userpass = user.userpass;
                m_rows[index].todel = user.todel;
                m_position = index;
            }
        }
    } catch (const DuplicateEntryError&) {
        inform(QStringLiteral("Duplicate User Name"));
        return;
    } catch (const StoreError& error) {
        m_prompter.message(
            {error.message(), kTitle, PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
        return;
    }
    inform(QStringLiteral("Record Successfully Saved"));
    if (m_mode == Mode::Modifying) {
        setMode(Mode::Browsing);
        return;
    }
    txtusername->clear();
    txtpassword->clear();
    showTodel(kDeletable);
    txtusername->setFocus();
}

void frmUserMaster::cancel()
{
    setMode(Mode::Browsing);
    // Back to the stored user, so that Delete never acts on a name typed and then cancelled.
    if (m_position >= 0 && m_position < m_rows.size())
        showRow();
    else
        clearBoxes();
}

void frmUserMaster::remove()
{
    if (m_position < 0 || m_position >= m_rows.size() || txtusername->text().isEmpty()) {
        m_prompter.message({QStringLiteral("Unable to Delete Blank Record !!!"), kTitle,
                            PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
        return;
    }
    const UserRow user = m_rows.at(m_position);
    const auto refuse = [this] {
        m_prompter.message({QStringLiteral("This User Can not be Deleted"), QStringLiteral("User master"),
                            PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
    };
    if (user.todel != kDeletable) {
        refuse();
        return;
    }
    if (m_prompter.message({QStringLiteral("Want to Delete"), kTitle, PromptMessage::Icon::None,
                            PromptMessage::Buttons::YesNo}) != PromptAnswer::Yes) {
        m_prompter.message(
            {QStringLiteral("Record Exists"), kTitle, PromptMessage::Icon::None, PromptMessage::Buttons::Ok});
        return;
    }
    bool removed = false;
    try {
        removed = UserTable(m_store).remove(user.username);
    } catch (const StoreError& error) {
        m_prompter.message(
            {error.message(), kTitle, PromptMessage::Icon::Critical, PromptMessage::Buttons::Ok});
        return;
    }
    if (!removed) {
        // Protected or gone since the screen read it: show the users as they are stored now.
        refuse();
        m_rows = UserTable(m_store).all();
        m_position = indexOf(user.username);
        if (m_position >= 0)
            showRow();
        else
            clearBoxes();
        return;
    }
    m_rows.removeAt(m_position);
    --m_position;
    move(RecordMove::Next);
}

void frmUserMaster::search()
{
    auto* dialog = new dlgSearch(window());
    dialog->SetCriteria(UserTable(m_store).namePickList(), this);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
}

int frmUserMaster::indexOf(const QString& username) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].username.compare(username, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void frmUserMaster::GetData(const QString& code)
{
    int index = indexOf(code);
    if (index < 0) {
        // Added by another desk since this screen opened.
        m_rows = UserTable(m_store).all();
        index = indexOf(code);
    }
    if (index < 0)
        return;
    m_position = index;
    showRow();
}
