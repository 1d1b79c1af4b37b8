#include "iomanager/imagearena_p.h"

#include <QFile>

#include <atomic>
#include <new>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif
#include <sanitizer/asan_interface.h>

namespace IOManager {
namespace Private {

struct ImageArena::Block
{
    std::atomic<int> references;
};

namespace {

// A huge page on x86-64 and on arm64 with 4 KiB pages.
constexpr qint64 blockSize = qint64(2) << 20;
constexpr qint64 pageSize = 4096;
// Slices start on cache lines; the header takes the first.
constexpr qint64 sliceAlignment = 64;
constexpr qint64 headerSize = sliceAlignment;
// Larger images, which would leave too much of a block unused behind them, are allocated as usual.
constexpr qint64 largestSlice = blockSize / 4;
// So are a font's first images: up to about this size, their page faults cost less than clearing a huge
// page and giving back its unused end.
constexpr qint64 plainBytes = 64 * 1024;

std::atomic<int> blocksMapped{0};

bool hugePagesOn()
{
    static const bool on = [] {
        QFile setting(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
        return setting.open(QIODevice::ReadOnly) && !setting.readAll().contains("[never]");
    }();
    return on;
}

char *mapBlock()
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    // Twice the size with the ends trimmed leaves a block on a huge page boundary.
    void *mapped =
        mmap(nullptr, std::size_t(2 * blockSize), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        return nullptr;
    }
    char *start = static_cast<char *>(mapped);
    char *block = start + ((blockSize - qint64(quintptr(start) % blockSize)) % blockSize);
    if (block != start) {
        munmap(start, std::size_t(block - start));
    }
    if (block + blockSize != start + 2 * blockSize) {
        munmap(block + blockSize, std::size_t(start + blockSize - block));
    }
    if (madvise(block, std::size_t(blockSize), MADV_HUGEPAGE) != 0) {
        munmap(block, std::size_t(blockSize));
        return nullptr;
    }
    ++blocksMapped;
    // Only slices handed out may be touched.
    ASAN_POISON_MEMORY_REGION(block + headerSize, std::size_t(blockSize - headerSize));
    return block;
#else
    return nullptr;
#endif
}

} // namespace

ImageArena::~ImageArena()
{
#if defined(Q_OS_LINUX) && defined(MADV_HUGEPAGE)
    if (m_block) {
        // The end of the huge page would stay resident, and khugepaged would fill it in again.
        char *block = reinterpret_cast<char *>(m_block);
        const qint64 used = (m_used + pageSize - 1) / pageSize * pageSize;
        madvise(block, std::size_t(blockSize), MADV_NOHUGEPAGE);
        madvise(block + used, std::size_t(blockSize - used), MADV_DONTNEED);
    }
#endif
    release(m_block);
}

void ImageArena::release(void *block)
{
    auto *header = static_cast<Block *>(block);
    if (header && header->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        header->~Block();
#ifdef Q_OS_LINUX
        ASAN_UNPOISON_MEMORY_REGION(block, std::size_t(blockSize));
        munmap(block, std::size_t(blockSize));
        --blocksMapped;
#endif
    }
}

QImage ImageArena::image(int width, int height)
{
    const qint64 bytes = qint64(qMax(width, 0)) * qMax(height, 0) * 4;
    m_requested += bytes;
    if (m_requested <= plainBytes || bytes > largestSlice || m_blocksFailed || !hugePagesOn()) {
        return QImage(width, height, QImage::Format_ARGB32);
    }
    const qint64 slice = (bytes + sliceAlignment - 1) / sliceAlignment * sliceAlignment;
    if (!m_block || m_used + slice > blockSize) {
        char *block = mapBlock();
        if (!block) {
            m_blocksFailed = true;
            return QImage(width, height, QImage::Format_ARGB32);
        }
        release(m_block);
        m_block = new (block) Block{{1}};
        m_used = headerSize;
        m_lastSlice = 0;
    }
    char *data = reinterpret_cast<char *>(m_block) + m_used;
    ASAN_UNPOISON_MEMORY_REGION(data, std::size_t(bytes));
    m_block->references.fetch_add(1, std::memory_order_relaxed);
    QImage image(reinterpret_cast<uchar *>(data), width, height, width * 4, QImage::Format_ARGB32, release, m_block);
    if (image.isNull()) {
        release(m_block);
        return QImage(width, height, QImage::Format_ARGB32);
    }
    m_lastSlice = m_used;
    m_used += slice;
    return image;
}

void ImageArena::giveBack(QImage *image)
{
    const char *data = reinterpret_cast<const char *>(image->constBits());
    const bool last = m_lastSlice != 0 && data == reinterpret_cast<const char *>(m_block) + m_lastSlice;
    const bool reusable = last && image->isDetached();
    *image = QImage();
    if (reusable) {
        ASAN_POISON_MEMORY_REGION(data, std::size_t(m_used - m_lastSlice));
        m_used = m_lastSlice;
        m_lastSlice = 0;
    }
}

int ImageArena::mappedBlocks()
{
    return blocksMapped;
}

} // namespace Private
} // namespace IOManager
