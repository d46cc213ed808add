#pragma once

#include "QueueGridModel.h"

#include <QWidget>

class Prompter;
class QPushButton;
class QTableView;
class Store;

/// The message queue screen: every user's queue length and the current user's waiting messages,
/// some of which the operator ticks and deletes before the dispatch server sends them.
class frmMessageQueue : public QWidget
{
    Q_OBJECT

public:
    frmMessageQueue(Store& store, const QString& userName, Prompter& prompter, QWidget* parent = nullptr);

    /// Reads both grids anew from the store.
    void reload();

private:
    void updateAndRefresh();

    Store& m_store;
    QString m_userName;
    Prompter& m_prompter;
    QueueLengthModel m_lengths;
    QueueGridModel m_queue;

    QTableView* vsothlist;
    QTableView* vsmq;
    QPushButton* cmdInvert;
    QPushButton* cmdSelNone;
    QPushButton* cmdSelAll;
    QPushButton* cmdUpdate;
    QPushButton* cmdRefresh;
};
