#pragma once
#include "generator/linewriter.h"
#include "generator/runhost.h"
#include "interfaces/datasets.h"
#include "suite/core/remote.h"
#include <QList>
#include <QPair>
#include <QString>

namespace gen {

// What a run left behind.
struct RunOutcome {
    bool written = false; // false: the user declined to overwrite
    QString path;         // the destination, absolute
    int lines = 0;
    QList<QPair<QString, int>> linesPerType; // in the order of block 9
    int separatorsReplaced = 0;
    QList<Place> separatorPlaces;
    int unmappableReplaced = 0;
    QList<Place> unmappablePlaces;
    qint64 remoteCalls = 0;
    int progressSteps = 0;
};

// "I150 line 12 field 3; ..." for the first places of a replacement.
QString describePlaces(const QList<Place>& places);

// The generation run: checks, fetches and writes the whole digital file in
// one synchronous pass. Stops (a failed check, a server failure, a file error)
// leave through suite::EAbort after the host has shown the message; the
// destination is then left as it was.
class GerArqPrevRun {
public:
    GerArqPrevRun(RunHost& host, GerArqPrevDatasets& datasets, suite::RemoteServer& server)
        : host_(host), ds_(datasets), server_(server) {}

    RunOutcome execute();

private:
    RunHost& host_;
    GerArqPrevDatasets& ds_;
    suite::RemoteServer& server_;
};

} // namespace gen
