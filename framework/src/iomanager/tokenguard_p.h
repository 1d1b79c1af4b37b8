#ifndef IOMANAGER_TOKENGUARD_P_H
#define IOMANAGER_TOKENGUARD_P_H

#include <QIODevice>

class QXmlStreamReader;

namespace IOManager {
namespace Private {

/*
 * The device a font reader reads through. Qt's stream reader holds a token's text whole and aborts
 * the process once it passes QString's limit of some 2^30 characters, so this ends the input, as a
 * file cut short would, when more than limit bytes go by without a token being finished.
 */
class TokenGuard : public QIODevice
{
public:
    // The writer keeps each pixel list under it (maxPixelListBytes), so that what it writes reads back:
    // 4096 x 4096 pixels of any value fit (185 M bytes).
    static constexpr qint64 defaultLimit = qint64(1) << 28;

    explicit TokenGuard(QIODevice *source, qint64 limit = defaultLimit);

    /** Tells the guard of reader's device, if it is one, that a token was finished. */
    static void tokenRead(const QXmlStreamReader &reader);
    /** Whether the input was ended because a token was too long. */
    bool tripped() const { return m_tripped; }

    bool atEnd() const override;

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    QIODevice *m_source;
    qint64 m_limit;
    qint64 m_sinceToken = 0;
    bool m_tripped = false;
};

} // namespace Private
} // namespace IOManager

#endif // IOMANAGER_TOKENGUARD_P_H
