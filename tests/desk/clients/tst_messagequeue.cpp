#include "ClientTable.h"
#include "MessageQueueTable.h"
#include "QueueListing.h"
#include "Schema.h"
#include "ScreenFixture.h"
#include "frmMessageQueue.h"

#include <QLineEdit>
#include <QTableView>
#include <QTest>

/// The message queue screen over a store with two users' messages: its grids, the selection
/// buttons, and deleting ticked messages while the dispatch server takes some of them.
class TestMessageQueue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void gridsShowTheStore();
    void selectionButtons_data();
    void selectionButtons();
    void onlyTheTickIsEditable();
    void updateDeletesTickedQueuedRows_data();
    void updateDeletesTickedQueuedRows();
    void deletingThousandsSkipsTakenRows();
    void olderStoreGainsTheWaitingIndex();

private:
    void open(const QString& user = QStringLiteral("admin"))
    {
        m_screen = std::make_unique<frmMessageQueue>(m_fixture->store(), user, m_fixture->prompter());
        m_screen->show();
    }
    QTableView* grid(const char* name) { return Control<QTableView>(m_screen.get(), QLatin1String(name)); }
    void click(const char* name) { ClickControl(m_screen.get(), QLatin1String(name)); }
    void queue(const QString& mobile, const QString& text, const QString& user, const QString& appId)
    {
        MessageQueueTable(m_fixture->store())
            .insert({mobile, text, user, 1, appId, QStringLiteral("BROKER")});
    }
    /// A grid's rows, cells joined by bars; the "Delete" column as its check state.
    QStringList rows(const char* name)
    {
        const QAbstractItemModel* model = grid(name)->model();
        QStringList rows;
        for (int row = 0; row < model->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < model->columnCount(); ++column) {
                const QModelIndex index = model->index(row, column);
                const QVariant check = model->data(index, Qt::CheckStateRole);
                cells << (check.isValid() ? (check.value<Qt::CheckState>() == Qt::Checked ? "[x]" : "[ ]")
                                          : model->data(index).toString());
            }
            rows << cells.join(u'|');
        }
        return rows;
    }
    QList<int> ticked()
    {
        const QAbstractItemModel* model = grid("vsmq")->model();
        QList<int> ticked;
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->data(model->index(row, 0), Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked)
                ticked << row;
        }
        return ticked;
    }
    void tick(const QList<int>& rows)
    {
        QTableView* view = grid("vsmq");
        for (const int row : rows) {
            view->setCurrentIndex(view->model()->index(row, 0));
            QTest::keyClick(view, Qt::Key_Space);
        }
    }
    /// The text and status of every stored message of the user, by nid.
    QStringList stored(const QString& user)
    {
        QSqlQuery query = m_fixture->store().exec(
            QStringLiteral("SELECT Message, Status FROM MessageQueue WHERE UserName = ? ORDER BY nid"),
            {user});
        QStringList messages;
        while (query.next())
            messages << query.value(0).toString() + u'/' + query.value(1).toString();
        return messages;
    }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<frmMessageQueue> m_screen;
    QList<qint64> m_nids;
};

void TestMessageQueue::init()
{
    m_fixture = std::make_unique<ScreenFixture>();
    const ClientTable clients(m_fixture->store());
    clients.insert(
        {0, QStringLiteral("Anand Rao"), QStringLiteral("9876543210"), QStringLiteral("A001"), {}});
    clients.insert(
        {0, QStringLiteral("Bina Shah"), QStringLiteral("9876500001"), QStringLiteral("A002"), {}});
    // A later client with a number already taken does not name its messages.
    clients.insert(
        {0, QStringLiteral("Anand Again"), QStringLiteral("9876543210"), QStringLiteral("A009"), {}});

    queue(QStringLiteral("9876543210"), QStringLiteral("one"), QStringLiteral("admin"),
          QStringLiteral("BSE"));
    queue(QStringLiteral("9000000000"), QStringLiteral("two"), QStringLiteral("admin"),
          QStringLiteral("Ledger"));
    queue(QStringLiteral("9876500001"), QStringLiteral("three"), QStringLiteral("admin"),
          QStringLiteral("Advanced"));
    queue(QStringLiteral("9000000001"), QStringLiteral("four"), QStringLiteral("admin"),
          QStringLiteral("Stock"));
    queue(QStringLiteral("9876500001"), QStringLiteral("dealer's"), QStringLiteral("dealer"),
          QStringLiteral("NSE"));
    queue(QStringLiteral("9876500001"), QStringLiteral("sent"), QStringLiteral("admin"),
          QStringLiteral("BSE"));
    Store& store = m_fixture->store();
    store.exec(QStringLiteral("UPDATE MessageQueue SET Status = 'Sent' WHERE Message = ?"),
               {QStringLiteral("sent")});
    m_nids.clear();
    QSqlQuery nids = store.exec(QStringLiteral("SELECT nid FROM MessageQueue ORDER BY nid"));
    while (nids.next())
        m_nids << nids.value(0).toLongLong();
    open();
}

void TestMessageQueue::cleanup()
{
    m_screen.reset();
    m_fixture.reset();
}

void TestMessageQueue::gridsShowTheStore()
{
    QCOMPARE(rows("vsothlist"), (QStringList{"admin|4", "dealer|1"}));
    QTableView* vsmq = grid("vsmq");
    QVERIFY(vsmq->isColumnHidden(1));
    QStringList headers;
    for (int column = 0; column < vsmq->model()->columnCount(); ++column)
        headers << vsmq->model()->headerData(column, Qt::Horizontal).toString();
    QCOMPARE(headers,
             (QStringList{"Delete", "Nid", "Mobile No.", "Name", "Message", "Q Date", "Application"}));

    // Only the user's own waiting messages; a number no client has shows no name, also right after a
    // row that had one.
    const QStringList expected = {"[ ]|%1|9876543210|Anand Rao|one||", "[ ]|%1|9000000000||two||",
                                  "[ ]|%1|9876500001|Bina Shah|three||", "[ ]|%1|9000000001||four||"};
    const QStringList apps = {"BSE", "Ledger", "Advanced", "Stock"};
    const QStringList shown = rows("vsmq");
    QCOMPARE(shown.size(), 4);
    for (int row = 0; row < 4; ++row) {
        QStringList cells = shown[row].split(u'|');
        // Queued just now, shown day first.
        QVERIFY2(QDateTime::fromString(cells[5], QStringLiteral("dd/MM/yyyy HH:mm:ss")).isValid(),
                 qPrintable(cells[5]));
        cells[5].clear();
        QCOMPARE(cells.join(u'|'), expected[row].arg(m_nids[row]) + apps[row]);
    }
    const QModelIndex message = vsmq->model()->index(2, 4);
    QCOMPARE(message.data(Qt::ToolTipRole).toString(), QStringLiteral("three"));

    // Another desk user sees every queue length but no messages of others.
    open(QStringLiteral("nobody"));
    QCOMPARE(rows("vsmq"), QStringList());
    QCOMPARE(rows("vsothlist"), (QStringList{"admin|4", "dealer|1"}));

    // Refresh reads the store anew.
    queue(QStringLiteral("9876543210"), QStringLiteral("five"), QStringLiteral("nobody"),
          QStringLiteral("BSE"));
    click("cmdRefresh");
    QCOMPARE(rows("vsmq").size(), 1);
    QCOMPARE(rows("vsothlist"), (QStringList{"admin|4", "dealer|1", "nobody|1"}));
}

void TestMessageQueue::selectionButtons_data()
{
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QList<int>>("after");
    QTest::newRow("invert on a fresh grid") << QList<int>{} << "cmdInvert" << QList<int>{0, 1, 2, 3};
    QTest::newRow("invert") << QList<int>{0, 2} << "cmdInvert" << QList<int>{1, 3};
    QTest::newRow("select all") << QList<int>{1} << "cmdSelAll" << QList<int>{0, 1, 2, 3};
    QTest::newRow("select none") << QList<int>{0, 3} << "cmdSelNone" << QList<int>{};
}

void TestMessageQueue::selectionButtons()
{
    QFETCH(QList<int>, before);
    QFETCH(QString, button);
    QFETCH(QList<int>, after);
    tick(before);
    QCOMPARE(ticked(), before);
    ClickControl(m_screen.get(), button);
    QCOMPARE(ticked(), after);
}

void TestMessageQueue::onlyTheTickIsEditable()
{
    QTableView* vsmq = grid("vsmq");
    QAbstractItemModel* model = vsmq->model();
    for (int column = 1; column < model->columnCount(); ++column) {
        const QModelIndex index = model->index(0, column);
        QVERIFY(!(model->flags(index) & (Qt::ItemIsEditable | Qt::ItemIsUserCheckable)));
        vsmq->scrollTo(index);
        QTest::mouseDClick(vsmq->viewport(), Qt::LeftButton, {}, vsmq->visualRect(index).center());
        QTest::keyClick(vsmq, Qt::Key_F2);
        QVERIFY2(vsmq->findChildren<QLineEdit*>().isEmpty(), "an editor opened");
    }
    QVERIFY(model->flags(model->index(0, 0)) & Qt::ItemIsUserCheckable);
    QCOMPARE(rows("vsmq")[0].section(u'|', 2, 4), QStringLiteral("9876543210|Anand Rao|one"));
}

void TestMessageQueue::updateDeletesTickedQueuedRows_data()
{
    QTest::addColumn<QList<int>>("tick");
    // Rows the dispatch server takes after they were ticked, with the status it gives them.
    QTest::addColumn<QList<int>>("taken");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QString>("message");
    const QString sent = QStringLiteral("sent/Sent");
    QTest::newRow("nothing ticked only reloads")
        << QList<int>{} << QList<int>{} << QString()
        << QStringList{"one/Queued", "two/Queued", "three/Queued", "four/Queued", sent} << QString();
    QTest::newRow("ticked rows") << QList<int>{0, 2} << QList<int>{} << QString()
                                 << QStringList{"two/Queued", "four/Queued", sent} << QString();
    QTest::newRow("one taken meanwhile")
        << QList<int>{0, 1, 2} << QList<int>{1} << "Read" << QStringList{"two/Read", "four/Queued", sent}
        << "1 of the ticked messages had already been taken by the dispatch server and were not deleted.";
    QTest::newRow("two taken and sent")
        << QList<int>{0, 1, 2, 3} << QList<int>{0, 3} << "Sent" << QStringList{"one/Sent", "four/Sent", sent}
        << "2 of the ticked messages had already been taken by the dispatch server and were not deleted.";
}

void TestMessageQueue::updateDeletesTickedQueuedRows()
{
    QFETCH(QList<int>, tick);
    QFETCH(QList<int>, taken);
    QFETCH(QString, status);
    QFETCH(QStringList, left);
    QFETCH(QString, message);
    this->tick(tick);
    for (const int row : taken)
        m_fixture->store().exec(QStringLiteral("UPDATE MessageQueue SET Status = ? WHERE nid = ?"),
                                {status, m_nids[row]});
    click("cmdUpdate");

    QCOMPARE(stored(QStringLiteral("admin")), left);
    QCOMPARE(stored(QStringLiteral("dealer")), QStringList{"dealer's/Queued"});
    for (const PromptMessage& shown : std::as_const(m_fixture->messages()))
        QCOMPARE(shown.title, QStringLiteral("Message Queue"));
    QCOMPARE(m_fixture->takeMessageTexts(), message.isEmpty() ? QStringList() : QStringList{message});
    // The grid shows what is still waiting, none of it ticked.
    const qsizetype waiting = left.filter(QStringLiteral("/Queued")).size();
    QCOMPARE(rows("vsmq").size(), waiting);
    QCOMPARE(ticked(), QList<int>{});
    QStringList lengths = {"dealer|1"};
    if (waiting > 0)
        lengths.prepend(QStringLiteral("admin|%1").arg(waiting));
    QCOMPARE(rows("vsothlist"), lengths);
}

void TestMessageQueue::deletingThousandsSkipsTakenRows()
{
    // Enough rows for several delete statements, with rows the server took in the first and the last.
    std::vector<QueuedMessage> messages(1201, {QStringLiteral("9876543210"), QStringLiteral("x"),
                                               QStringLiteral("bulk"), 1, QStringLiteral("BSE"),
                                               QStringLiteral("BROKER")});
    const Store& store = m_fixture->store();
    MessageQueueTable(store).insertAll(messages);
    QList<qint64> nids;
    for (const QueueListingRow& row : QueueListing(store).messagesOf(QStringLiteral("bulk")))
        nids << row.nid;
    QCOMPARE(nids.size(), 1201);
    store.exec(QStringLiteral("UPDATE MessageQueue SET Status = 'Read' WHERE nid IN (?, ?)"),
               {nids[7], nids.last()});
    QCOMPARE(QueueListing(store).deleteQueued(nids), 1199);
    QCOMPARE(stored(QStringLiteral("bulk")), (QStringList{"x/Read", "x/Read"}));
}

void TestMessageQueue::olderStoreGainsTheWaitingIndex()
{
    TestEnvironment env;
    // PostgreSQL keeps it for the "Queued" rows alone.
    QVERIFY(env.upgradeRestoresIndex(TestEnvironment::onPostgres()
                                         ? QStringLiteral("MessageQueue_QueuedByUser")
                                         : QStringLiteral("MessageQueue_StatusUser"),
                                     5));
}

QTEST_MAIN(TestMessageQueue)
#include "tst_messagequeue.moc"
