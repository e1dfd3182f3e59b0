#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

// The lines of a file read in large chunks, so that memory stays the same
// whatever the file's size and no line costs an allocation.
namespace importer {

class LineSource {
public:
    // Reads from the file's current position; path names it in messages.
    LineSource(QFile& file, QString path);

    // The next line without its LF or CR LF; false at the end of the file.
    // The view holds until the next call. Throws std::runtime_error when
    // the file cannot be read.
    bool next(QByteArrayView& line);

    // Bytes of the file taken up to the end of the last line given.
    qint64 bytesRead() const { return m_consumed; }

private:
    bool fill();

    QFile& m_file;
    QString m_path;
    QByteArray m_buffer;
    qsizetype m_begin = 0; // first byte not yet given
    qsizetype m_end = 0;   // end of the bytes read
    qint64 m_consumed = 0;
    bool m_eof = false;
};

} // namespace importer
