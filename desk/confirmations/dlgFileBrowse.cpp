#include "dlgFileBrowse.h"

#include "Prompter.h"
#include "WindowGeometry.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kPathRole = Qt::UserRole;
// The per-user setting of the folder a file was last picked from.
const QString kLastFolderKey = QStringLiteral("dlgFileBrowse/LastFolder");

QSettings userSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kelvra"),
                     QStringLiteral("Kelvra"));
}

QListWidget* makeList(QWidget* parent, const char* name)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(QLatin1String(name));
    return list;
}

} // namespace

TradeFileListBox::TradeFileListBox(Prompter& prompter, QWidget* parent, bool singleClickRemoves)
    : QListWidget(parent)
    , m_prompter(prompter)
{
    const auto remove = [this](QListWidgetItem* item) {
        m_list.removeAt(row(item));
        delete item;
    };
    if (singleClickRemoves)
        connect(this, &QListWidget::itemClicked, this, remove);
    else
        connect(this, &QListWidget::itemDoubleClicked, this, remove);
}

void TradeFileListBox::addFiles(const QStringList& files)
{
    const int before = int(m_list.files().size());
    const QStringList passedOver = m_list.add(files);
    addItems(m_list.files().mid(before));
    if (passedOver.isEmpty())
        return;
    QStringList lines;
    for (const QString& file : passedOver)
        lines << TradeFileList::alreadyListedText(file);
    m_prompter.message({lines.join(u'\n'), parentWidget() ? parentWidget()->windowTitle() : QString(),
                        PromptMessage::Icon::Information, PromptMessage::Buttons::Ok});
}

void TradeFileListBox::clearFiles()
{
    m_list.clear();
    clear();
}

dlgFileBrowse::dlgFileBrowse(Prompter& prompter, QWidget* owner)
    : QDialog(owner)
    , Drive1(new QComboBox(this))
    , lblfolder(new QLabel(this))
    , Dir1(makeList(this, "Dir1"))
    , File1(makeList(this, "File1"))
    , List1(new TradeFileListBox(prompter, this))
    , OKButton(new QPushButton(QStringLiteral("OK"), this))
    , CancelButton(new QPushButton(QStringLiteral("Close"), this))
{
    setObjectName(QStringLiteral("dlgFileBrowse"));
    setWindowTitle(QStringLiteral("File Browser"));
    Drive1->setObjectName(QStringLiteral("Drive1"));
    lblfolder->setObjectName(QStringLiteral("lblfolder"));
    List1->setObjectName(QStringLiteral("List1"));
    OKButton->setObjectName(QStringLiteral("OKButton"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* browse = new QVBoxLayout;
    browse->addWidget(Drive1);
    browse->addWidget(lblfolder);
    browse->addWidget(Dir1);
    auto* lists = new QHBoxLayout;
    lists->addLayout(browse);
    lists->addWidget(File1);
    lists->addWidget(List1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists);
    layout->addLayout(buttons);
    // Room for a few folders' worth of names and for the full paths of the picked files.
    WindowGeometry::remember(this, objectName(), QSize(960, 480));

    fillDrives();
    connect(Drive1, &QComboBox::currentIndexChanged, this, &dlgFileBrowse::driveChosen);
    connect(Dir1, &QListWidget::activated, this, [this](const QModelIndex& index) {
        // Later, because the new folder replaces the very item the list is still handling.
        const QString path = index.data(kPathRole).toString();
        QMetaObject::invokeMethod(
            this, [this, path] { setCurrentFolder(path); }, Qt::QueuedConnection);
    });
    connect(File1, &QListWidget::itemDoubleClicked, this, &dlgFileBrowse::fileChosen);
    connect(OKButton, &QPushButton::clicked, this, &dlgFileBrowse::handOver);
    connect(CancelButton, &QPushButton::clicked, this, &dlgFileBrowse::reject);

    // Opens where the operator last took a file from, as the day's files tend to share a folder.
    const QString last = userSettings().value(kLastFolderKey).toString();
    setCurrentFolder(!last.isEmpty() && QFileInfo(last).isDir() ? last : QDir::currentPath());
}

void dlgFileBrowse::fillDrives()
{
    // Linux has no drive letters: the roots of the mounted volumes stand in for them.
    QStringList roots{QDir::rootPath()};
    const auto volumes = QStorageInfo::mountedVolumes();
    for (const QStorageInfo& volume : volumes) {
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir() &&
            !roots.contains(volume.rootPath()))
            roots << volume.rootPath();
    }
    std::sort(roots.begin() + 1, roots.end());
    const QSignalBlocker blocker(Drive1);
    Drive1->addItems(roots);
}

void dlgFileBrowse::driveChosen(int index)
{
    if (index >= 0)
        setCurrentFolder(Drive1->itemText(index));
}

void dlgFileBrowse::setCurrentFolder(const QString& path)
{
    const QDir folder(path);
    if (!folder.exists())
        return;
    m_folder = folder.absolutePath();
    lblfolder->setText(QDir::toNativeSeparators(m_folder));

    const QString root = QStorageInfo(m_folder).rootPath();
    if (!root.isEmpty()) {
        const QSignalBlocker blocker(Drive1);
        int index = Drive1->findText(root);
        if (index < 0) {
            Drive1->addItem(root);
            index = Drive1->count() - 1;
        }
        Drive1->setCurrentIndex(index);
    }

    // As a folder list shows it: the way down from the root, then the folders inside.
    Dir1->clear();
    QStringList ancestors;
    for (QDir up(m_folder); !up.isRoot(); up.cdUp())
        ancestors.prepend(up.absolutePath());
    ancestors.prepend(QDir::rootPath());
    for (int depth = 0; depth < ancestors.size(); ++depth) {
        const QString& ancestor = ancestors[depth];
        const QString name = depth == 0 ? ancestor : QFileInfo(ancestor).fileName();
        auto* item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + name, Dir1);
        item->setData(kPathRole, ancestor);
    }
    Dir1->setCurrentRow(Dir1->count() - 1);
    const QString indent(ancestors.size() * 2, QLatin1Char(' '));
    const auto children =
        folder.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& child : children) {
        auto* item = new QListWidgetItem(indent + child.fileName(), Dir1);
        item->setData(kPathRole, child.absoluteFilePath());
    }

    File1->clear();
    File1->addItems(folder.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}

void dlgFileBrowse::fileChosen(QListWidgetItem* item)
{
    if (!item)
        return;
    QString path = m_folder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    List1->addFiles({QDir::toNativeSeparators(path + item->text())});
    userSettings().setValue(kLastFolderKey, m_folder);
}

void dlgFileBrowse::handOver()
{
    if (!m_target)
        return;
    m_target->GetFiles(List1->files());
}
