#include "iomanager/gzipdevice_p.h"

#include <limits>

namespace IOManager {
namespace Private {

namespace {

constexpr int inputBlock = 64 * 1024;
constexpr int gzipWindow = 16 + MAX_WBITS; // a gzip header and trailer around the deflate stream

} // namespace

GzipDevice::GzipDevice(QIODevice *source)
    : m_source(source)
    , m_input(inputBlock, Qt::Uninitialized)
{
    m_failed = inflateInit2(&m_stream, gzipWindow) != Z_OK;
    m_ended = m_failed;
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

GzipDevice::~GzipDevice()
{
    inflateEnd(&m_stream);
}

bool GzipDevice::isGzip(QIODevice *device)
{
    return device->peek(2) == QByteArray("\x1f\x8b", 2);
}

bool GzipDevice::atEnd() const
{
    return m_ended;
}

qint64 GzipDevice::readData(char *data, qint64 maxSize)
{
    if (m_ended) {
        return m_failed ? -1 : 0;
    }
    m_stream.next_out = reinterpret_cast<Bytef *>(data);
    m_stream.avail_out = uInt(qMin<qint64>(maxSize, std::numeric_limits<uInt>::max()));
    while (m_stream.avail_out > 0 && !m_ended) {
        if (m_stream.avail_in == 0) {
            const qint64 read = m_source->read(m_input.data(), m_input.size());
            if (read <= 0) {
                // The source ended inside a member: the file was cut short.
                m_failed = true;
                m_ended = true;
                break;
            }
            m_stream.next_in = reinterpret_cast<Bytef *>(m_input.data());
            m_stream.avail_in = uInt(read);
        }
        const int result = inflate(&m_stream, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            if (m_stream.avail_in == 0 && m_source->atEnd()) {
                m_ended = true;
            } else if (inflateReset(&m_stream) != Z_OK) {
                m_failed = m_ended = true;
            }
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            m_failed = m_ended = true;
        }
    }
    const qint64 produced = qint64(reinterpret_cast<char *>(m_stream.next_out) - data);
    return produced == 0 && m_failed ? -1 : produced;
}

qint64 GzipDevice::writeData(const char *, qint64)
{
    return -1;
}

} // namespace Private
} // namespace IOManager
