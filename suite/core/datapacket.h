#pragma once
#include <QList>
#include <QString>
#include <QVariant>

namespace suite {

// Column types a server data packet can carry.
enum class FieldType { String, Float, Integer, DateTime };

struct FieldDef {
    QString name;
    FieldType type = FieldType::String;
    int size = 0; // characters, for String; 0 otherwise
    bool operator==(const FieldDef&) const = default;
};

// A result set as it travels from the application server to a client dataset.
// Row values: QString (String), double (Float), qint64 (Integer), QDateTime
// (DateTime, local time without zone); a null QVariant is SQL NULL.
struct DataPacket {
    QList<FieldDef> fields;
    QList<QVariantList> rows;

    int indexOf(const QString& name) const {
        for (int i = 0; i < fields.size(); ++i)
            if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    }
    bool operator==(const DataPacket&) const = default;
};

} // namespace suite
