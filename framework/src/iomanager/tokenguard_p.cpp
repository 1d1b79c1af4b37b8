#include "iomanager/tokenguard_p.h"

#include <QXmlStreamReader>

namespace IOManager {
namespace Private {

TokenGuard::TokenGuard(QIODevice *source, qint64 limit)
    : m_source(source)
    , m_limit(limit)
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

void TokenGuard::tokenRead(const QXmlStreamReader &reader)
{
    if (auto *guard = dynamic_cast<TokenGuard *>(reader.device())) {
        guard->m_sinceToken = 0;
    }
}

bool TokenGuard::atEnd() const
{
    return m_tripped || m_source->atEnd();
}

qint64 TokenGuard::readData(char *data, qint64 maxSize)
{
    // Once ended the input stays ended: Qt hands out the text it holds as a token of its own.
    if (m_tripped || m_sinceToken > m_limit) {
        m_tripped = true;
        return -1;
    }
    const qint64 read = m_source->read(data, maxSize);
    if (read > 0) {
        m_sinceToken += read;
    }
    return read;
}

qint64 TokenGuard::writeData(const char *, qint64)
{
    return -1;
}

} // namespace Private
} // namespace IOManager
