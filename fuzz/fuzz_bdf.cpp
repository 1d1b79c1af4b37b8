// Feeds arbitrary bytes to the BDF reader; what it accepts must write back to text that reads the same,
// and must become an OF font within the pixel budget or be refused.
#include "bdffont.h"
#include "conversion.h"

#include "models/font.h"

#include <QByteArray>
#include <QStringList>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool sameGlyphs(const Bdf::Font &a, const Bdf::Font &b)
{
    if (a.glyphs.size() != b.glyphs.size()) {
        return false;
    }
    for (int i = 0; i < a.glyphs.size(); ++i) {
        const Bdf::Glyph &x = a.glyphs.at(i);
        const Bdf::Glyph &y = b.glyphs.at(i);
        if (x.codePoint != y.codePoint || x.advance != y.advance || Bdf::inkBox(x) != Bdf::inkBox(y) || x.rows != y.rows) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), int(qMin<size_t>(size, 1 << 20)));
    Bdf::Font font;
    QString error;
    if (!Bdf::read(text, &font, &error)) {
        if (error.isEmpty()) {
            std::abort();
        }
        return 0;
    }
    Bdf::Font again;
    if (!Bdf::read(Bdf::write(font), &again, &error) || !sameGlyphs(font, again)) {
        std::abort();
    }
    QStringList notes;
    const std::unique_ptr<Models::Font> converted = Convert::fromBdf(font, QStringLiteral("fuzz"), &notes, &error);
    if (!converted && error.isEmpty()) {
        std::abort();
    }
    return 0;
}
