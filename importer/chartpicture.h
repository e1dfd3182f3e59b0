#pragma once
#include <QList>
#include <QString>

namespace importer {

// An account of the chart, as far as its code's shape goes.
struct CodeShape {
    QString code;
    QString superior; // empty at level 1
    int level = 0;
};

// The account-code picture of kind 0 (one group of mask characters per
// level, docs/schema.md) that a chart's codes follow, or an empty text when
// they do not follow one: every code of a level is its superior's code, the
// same separator and a part of the same length, and every level below the
// first has a separator (the screen counts the levels by the groups).
// Parts of digits only are written "9", others "X".
QString levelPicture(const QList<CodeShape>& chart);

// The input mask (kind 2) that shows codes of that picture formatted.
QString editPicture(const QString& levelPicture);

} // namespace importer
