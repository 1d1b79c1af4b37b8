#ifndef FORMATS_GZIPWRITER_H
#define FORMATS_GZIPWRITER_H

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <zlib.h>

#include <functional>

/*
 * A write-only device that writes the gzip stream of what it is given to another device, a block at
 * a time. The stream is the same for the same bytes: no file name and no time in its header.
 */
class GzipWriter : public QIODevice
{
public:
    /** Opens for writing to target, which stays the caller's and must stay open until finish(). */
    explicit GzipWriter(QIODevice *target);
    ~GzipWriter() override;
    Q_DISABLE_COPY(GzipWriter)

    /** Ends the stream; false with the reason in error when a write to the target failed. */
    bool finish(QString *error);

    /** What content writes, written through a GzipWriter onto the device the result is given. */
    static std::function<bool(QIODevice *, QString *)> compressed(const std::function<bool(QIODevice *, QString *)> &content);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    bool deflateInto(int flush);

    QIODevice *m_target;
    z_stream m_stream = {};
    QByteArray m_output;
    bool m_failed = false;
};

#endif // FORMATS_GZIPWRITER_H
