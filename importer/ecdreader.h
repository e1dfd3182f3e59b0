#pragma once
#include "importer/ecdrecords.h"
#include <QMap>
#include <QString>
#include <functional>

// Reads one ECD book file as a stream and hands its records, checked for
// form, to an EcdHandler. Memory stays the same whatever the file's size.
//
// Content problems never throw: they reach handler.finding(), and a record
// with a finding of form is not handed over (the rest of the file still is).
// A file that cannot be opened or read throws std::runtime_error, with a
// message in Portuguese that names the file.
namespace importer {

struct ReadProgress {
    enum class Stage {
        Encoding, // a first look through the file to learn its encoding
        Records,  // reading the records
    };
    Stage stage = Stage::Records;
    QString file;
    qint64 line = 0;
    qint64 bytesRead = 0;
    qint64 totalBytes = 0;
};

class EcdReader {
public:
    using ProgressCallback = std::function<void(const ReadProgress&)>;

    explicit EcdReader(QString path);

    // Called every everyLines lines of each stage and once at its end.
    void setProgress(ProgressCallback callback, qint64 everyLines = 20000);

    void read(EcdHandler& handler);

    QString path() const { return m_path; }
    // "ISO-8859-1", "UTF-8" or "Windows-1252": what the texts were read as.
    QString encodingName() const { return m_encodingName; }
    // The layout version the book says it follows (I010 COD_VER_LC).
    QString version() const { return m_version; }
    // Lines of the book, up to its 9999 (what follows it is not the book's).
    qint64 lines() const { return m_lines; }
    // Lines read of each record type, unknown types included.
    const QMap<QString, qint64>& counts() const { return m_counts; }
    qint64 count(const QString& type) const { return m_counts.value(type); }

private:
    QString m_path;
    ProgressCallback m_progress;
    qint64 m_progressEvery = 20000;
    QString m_encodingName;
    QString m_version;
    qint64 m_lines = 0;
    QMap<QString, qint64> m_counts;
};

} // namespace importer
