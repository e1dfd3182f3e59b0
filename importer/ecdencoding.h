#pragma once
#include <QByteArrayView>
#include <QString>

// Which of the encodings producers use a book was written in, and decoding
// its texts. The layout says ISO 8859-1; some write UTF-8 or Windows-1252.
namespace importer {

enum class Encoding { Latin1, Utf8, Windows1252 };

// "ISO-8859-1", "UTF-8" or "Windows-1252".
QString encodingName(Encoding e);

// Looks at a file's lines, all of them before anything is decoded, and
// decides: valid UTF-8 with non-ASCII bytes is UTF-8; else any byte in
// 0x80..0x9F (control characters in ISO 8859-1, letters and signs in
// Windows-1252) means Windows-1252; else ISO 8859-1.
class EncodingScan {
public:
    void feed(QByteArrayView line);
    Encoding result() const;

private:
    bool m_nonAscii = false;
    bool m_validUtf8 = true;
    bool m_c1 = false;
};

// Decodes raw into out, reusing out's storage when it is not shared.
void decodeInto(Encoding e, QByteArrayView raw, QString& out);

} // namespace importer
