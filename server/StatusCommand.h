#pragma once

#include <QStringList>

/// `quaylink status`: reads the store and tells the dispatch's health, for a person (text) or a monitor
/// (--json), and by its exit status: 0 healthy, 1 something needs a person (or the store cannot be
/// read), 2 a bad command line. It never writes and never takes the server's lock.
int runStatusCommand(const QStringList& arguments);
