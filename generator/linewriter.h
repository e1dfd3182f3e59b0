#pragma once
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <stdexcept>

class QIODevice;

namespace gen {

// A device that refused a line.
// A line the file did not take; err is the system's error number.
class WriteError : public std::runtime_error {
public:
    WriteError(const std::string& what, int err) : std::runtime_error(what), err_(err) {}
    int err() const noexcept { return err_; }

private:
    int err_;
};

// Where a value had to be changed to fit the file.
struct Place {
    QString type;  // record type
    int line = 0;  // line number in the file, from 1
    int field = 0; // field number, the record type being field 1
};

// Writes records as lines: the type, then each value after a "|", CR LF, in
// Windows-1252. It only writes: a value holding "|", CR or LF would break the
// line apart, so each such character becomes a space; a character without a
// Windows-1252 byte becomes "?". Both are counted with their first places.
class LineWriter {
public:
    explicit LineWriter(QIODevice& device);

    void write(const QString& type, const QString* values, int count);
    void write(const QString& type, std::initializer_list<QString> values) {
        write(type, values.begin(), static_cast<int>(values.size()));
    }

    int lines() const { return lines_; }
    int linesOf(const QString& type) const { return perType_.value(type); }

    // Values with "|", CR or LF replaced, and the first places.
    int separatorsReplaced() const { return separators_; }
    const QList<Place>& separatorPlaces() const { return separatorPlaces_; }
    // Values with characters outside Windows-1252, and the first places.
    int unmappableReplaced() const { return unmappable_; }
    const QList<Place>& unmappablePlaces() const { return unmappablePlaces_; }

    static constexpr int kPlacesKept = 10;

private:
    void append(const QString& value, const QString& type, int field);

    QIODevice& device_;
    QByteArray line_; // reused for every line
    int lines_ = 0;
    QHash<QString, int> perType_;
    int separators_ = 0;
    int unmappable_ = 0;
    QList<Place> separatorPlaces_;
    QList<Place> unmappablePlaces_;
};

} // namespace gen
