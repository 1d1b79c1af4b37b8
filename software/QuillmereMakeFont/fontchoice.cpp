#include "fontchoice.h"

#include "glyphrenderer.h"
#include "installedfonts.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontInfo>
#include <QImage>
#include <QString>
#include <QStringList>

namespace {

// Above the renderer's own limit no size fits, so no font engine is made for one.
constexpr int largestQueriedSize = 1024;

QString tr(const char *text)
{
    return QCoreApplication::translate("FontChoice", text);
}

int largestSize(const QString &family, const QString &style)
{
    return largestFittingPointSize(InstalledFonts::font(family, style, 12), defaultLetters());
}

bool isInstalled(const QString &family)
{
    const QStringList families = InstalledFonts::families();
    return families.contains(family, Qt::CaseInsensitive);
}

} // namespace

QString fontChoiceProblem(const QString &family, const QString &style, const QString &sizeText)
{
    if (!isInstalled(family)) {
        return tr("no installed font family is called \"%1\"").arg(family);
    }
    if (!InstalledFonts::styles(family).contains(style)) {
        return tr("%1 has no style \"%2\"").arg(family, style);
    }
    return sizeProblem(sizeText, largestSize(family, style));
}

QString sizeProblem(const QString &sizeText, int largest)
{
    bool ok = false;
    const int size = sizeText.toInt(&ok, 10);
    if (largest < 1) {
        return tr("the glyphs of this font are too large at every size");
    }
    if (!ok || size < 1) {
        return tr("the size \"%1\" is not a whole number from 1 to %2").arg(sizeText, QString::number(largest));
    }
    if (size > largest) {
        return tr("glyphs too large at %1 pt: the largest size for this font is %2 pt").arg(size).arg(largest);
    }
    return QString();
}

int renderDpi()
{
    // The renderer draws into images, which take this DPI, with font metrics made for the same.
    return QImage(1, 1, QImage::Format_ARGB32).logicalDpiY();
}

QString pixelSizeText(const QFont &font, const QString &sizeText)
{
    bool ok = false;
    const int size = sizeText.toInt(&ok, 10);
    if (!ok || size < 1) {
        return tr("at %1 dpi").arg(renderDpi());
    }
    const int dpi = renderDpi();
    qint64 pixels = qRound64(size * qreal(dpi) / 72);
    if (size <= largestQueriedSize) {
        // A bitmap font is drawn from the strike it has, which need not be the exact conversion.
        QFont sized(font);
        sized.setPointSize(size);
        pixels = QFontInfo(sized).pixelSize();
    }
    return tr("%1 pt = %2 px at %3 dpi").arg(size).arg(pixels).arg(dpi);
}

SizeValidator::SizeValidator(QObject *parent)
    : QValidator(parent)
{
}

void SizeValidator::setFont(const QString &family, const QString &style)
{
    if (family != m_family || style != m_style) {
        m_family = family;
        m_style = style;
        m_largest = -1;
    }
}

QValidator::State SizeValidator::validate(QString &input, int &) const
{
    if (m_largest < 0) {
        m_largest = largestSize(m_family, m_style);
    }
    return sizeProblem(input, m_largest).isEmpty() ? Acceptable : Intermediate;
}
