#include "importer/ecdlines.h"
#include <cstring>
#include <stdexcept>

namespace importer {
namespace {
constexpr qsizetype ChunkSize = 1 << 20;
} // namespace

LineSource::LineSource(QFile& file, QString path) : m_file(file), m_path(std::move(path)) {
    m_buffer.resize(ChunkSize);
}

// Moves the unread tail to the front and reads more after it; grows the
// buffer only for a line longer than it.
bool LineSource::fill() {
    if (m_eof)
        return false;
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.constData() + m_begin, size_t(m_end - m_begin));
        m_end -= m_begin;
        m_begin = 0;
    }
    if (m_end == m_buffer.size())
        m_buffer.resize(m_buffer.size() * 2);
    const qint64 n = m_file.read(m_buffer.data() + m_end, m_buffer.size() - m_end);
    if (n < 0)
        throw std::runtime_error(QStringLiteral("Erro ao ler o arquivo %1: %2")
                                     .arg(m_path, m_file.errorString())
                                     .toStdString());
    if (n == 0) {
        m_eof = true;
        return false;
    }
    m_end += n;
    return true;
}

bool LineSource::next(QByteArrayView& line) {
    qsizetype searched = m_begin;
    for (;;) {
        const char* data = m_buffer.constData();
        const void* nl = std::memchr(data + searched, '\n', size_t(m_end - searched));
        if (nl) {
            const qsizetype at = static_cast<const char*>(nl) - data;
            qsizetype len = at - m_begin;
            if (len > 0 && data[at - 1] == '\r')
                --len;
            line = QByteArrayView(data + m_begin, len);
            m_consumed += at + 1 - m_begin;
            m_begin = at + 1;
            return true;
        }
        const qsizetype kept = m_end - m_begin;
        if (!fill()) {
            if (kept == 0)
                return false;
            // The last line, without a line end.
            data = m_buffer.constData();
            qsizetype len = m_end - m_begin;
            if (data[m_end - 1] == '\r')
                --len;
            line = QByteArrayView(data + m_begin, len);
            m_consumed += m_end - m_begin;
            m_begin = m_end;
            return true;
        }
        searched = m_begin + kept;
    }
}

} // namespace importer
