#ifndef IOMANAGER_GZIPDEVICE_P_H
#define IOMANAGER_GZIPDEVICE_P_H

#include <QByteArray>
#include <QIODevice>

#include <zlib.h>

namespace IOManager {
namespace Private {

/*
 * The bytes a gzip stream on another device holds, inflated as they are read, a block at a time:
 * a compressed file is read without holding it, or what it holds, whole. Members that follow one
 * another are read on as one stream, as gzip does. Read-only and sequential.
 */
class GzipDevice : public QIODevice
{
public:
    /** Opens for reading from source, which stays the caller's and must stay open while this is read. */
    explicit GzipDevice(QIODevice *source);
    ~GzipDevice() override;
    Q_DISABLE_COPY(GzipDevice)

    /** Whether device, open for reading, starts with the gzip magic bytes; reads nothing. */
    static bool isGzip(QIODevice *device);
    /** Whether the stream was damaged or cut short; its input then ended where that was found. */
    bool failed() const { return m_failed; }

    bool isSequential() const override { return true; }
    bool atEnd() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    QIODevice *m_source;
    z_stream m_stream = {};
    QByteArray m_input;
    bool m_ended = false;
    bool m_failed = false;
};

} // namespace Private
} // namespace IOManager

#endif // IOMANAGER_GZIPDEVICE_P_H
