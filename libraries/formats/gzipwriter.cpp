#include "gzipwriter.h"

#include <limits>

namespace {

constexpr int outputBlock = 256 * 1024;
constexpr int gzipWindow = 16 + MAX_WBITS; // a gzip header and trailer around the deflate stream
constexpr int memoryLevel = 8;             // zlib's default

} // namespace

GzipWriter::GzipWriter(QIODevice *target)
    : m_target(target)
    , m_output(outputBlock, Qt::Uninitialized)
{
    m_failed = deflateInit2(&m_stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, gzipWindow, memoryLevel, Z_DEFAULT_STRATEGY) != Z_OK;
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

GzipWriter::~GzipWriter()
{
    deflateEnd(&m_stream);
}

bool GzipWriter::finish(QString *error)
{
    if (!m_failed) {
        m_stream.next_in = nullptr;
        m_stream.avail_in = 0;
        deflateInto(Z_FINISH);
    }
    if (m_failed) {
        *error = m_target->errorString().isEmpty() ? QStringLiteral("could not compress") : m_target->errorString();
    }
    return !m_failed;
}

std::function<bool(QIODevice *, QString *)> GzipWriter::compressed(const std::function<bool(QIODevice *, QString *)> &content)
{
    return [content](QIODevice *device, QString *error) {
        GzipWriter writer(device);
        return content(&writer, error) && writer.finish(error);
    };
}

// Deflates what waits in m_stream, writing each block of output; with Z_FINISH, to the stream's end.
bool GzipWriter::deflateInto(int flush)
{
    for (;;) {
        m_stream.next_out = reinterpret_cast<Bytef *>(m_output.data());
        m_stream.avail_out = uInt(m_output.size());
        const int result = deflate(&m_stream, flush);
        const qint64 produced = m_output.size() - qint64(m_stream.avail_out);
        if (result == Z_STREAM_ERROR || (produced > 0 && m_target->write(m_output.constData(), produced) != produced)) {
            m_failed = true;
            return false;
        }
        if (flush == Z_FINISH ? result == Z_STREAM_END : (m_stream.avail_in == 0 && m_stream.avail_out > 0)) {
            return true;
        }
    }
}

qint64 GzipWriter::readData(char *, qint64)
{
    return -1;
}

qint64 GzipWriter::writeData(const char *data, qint64 maxSize)
{
    if (m_failed) {
        return -1;
    }
    for (qint64 done = 0; done < maxSize;) {
        const uInt block = uInt(qMin<qint64>(maxSize - done, std::numeric_limits<uInt>::max()));
        m_stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data + done));
        m_stream.avail_in = block;
        if (!deflateInto(Z_NO_FLUSH)) {
            return -1;
        }
        done += block;
    }
    return maxSize;
}
