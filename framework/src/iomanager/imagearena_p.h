#ifndef IOMANAGER_IMAGEARENA_P_H
#define IOMANAGER_IMAGEARENA_P_H

#include <QImage>
#include <QtGlobal>

namespace IOManager {
namespace Private {

/*
 * The pixel memory of the pictures of one font. In memory fresh from the kernel each 4 KiB page
 * costs a fault, which can take a quarter of the reading time; so, once a font's images pass 64 KiB,
 * they are cut from 2 MiB blocks that the kernel backs with huge pages. A block is unmapped when
 * its last image goes. The images are ordinary ones: writing to an unshared image does not copy
 * it, copies detach, and they may outlive the arena and be destroyed on any thread. One arena
 * serves one thread. Where huge pages are off, or a block cannot be had, images are allocated as
 * usual.
 */
class ImageArena
{
public:
    ImageArena() = default;
    /** Hands the kernel back the untouched end of the last block. */
    ~ImageArena();

    /** An uninitialised width x height ARGB32 image; null when QImage cannot hold one. */
    QImage image(int width, int height);
    /** Nulls image; if it was the last handed out and shared with no one, its space is used again. */
    void giveBack(QImage *image);

    /** Blocks mapped by all arenas and not yet unmapped. */
    static int mappedBlocks();

private:
    Q_DISABLE_COPY(ImageArena)

    struct Block;
    static void release(void *block);

    Block *m_block = nullptr; // the block being cut, which the arena holds a reference to
    qint64 m_used = 0;        // bytes of m_block cut, the header included
    qint64 m_lastSlice = 0;   // where in m_block the last image handed out starts, 0 once given back
    qint64 m_requested = 0;   // bytes of all images asked for
    bool m_blocksFailed = false;
};

} // namespace Private
} // namespace IOManager

#endif // IOMANAGER_IMAGEARENA_P_H
