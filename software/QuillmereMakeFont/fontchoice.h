#ifndef FONTCHOICE_H
#define FONTCHOICE_H

#include <QValidator>

QT_BEGIN_NAMESPACE
class QFont;
class QString;
QT_END_NAMESPACE

/**
 * Why the window cannot render family, style and size text, or an empty string when it can: the family
 * is installed, has the style, and the size is a whole number from 1 to the largest whose glyphs fit the
 * renderer's pixel budget.
 */
QString fontChoiceProblem(const QString &family, const QString &style, const QString &sizeText);
/** The size part of fontChoiceProblem, for a font whose largest fitting size is largest. */
QString sizeProblem(const QString &sizeText, int largest);

/** The logical DPI the renderer draws at, that of the screen unless QT_FONT_DPI sets it. */
int renderDpi();
/** "32 pt = 44 px at 100 dpi" for font, or the DPI alone when the size is not a whole number above 0. */
QString pixelSizeText(const QFont &font, const QString &sizeText);

/**
 * Acceptable for the sizes fontChoiceProblem accepts in the family and style set last, Intermediate for
 * any other text, so that typing goes on but an editable combo box inserts no size it would refuse.
 */
class SizeValidator : public QValidator
{
    Q_OBJECT

public:
    explicit SizeValidator(QObject *parent = nullptr);

    void setFont(const QString &family, const QString &style);
    State validate(QString &input, int &pos) const override;

private:
    QString m_family;
    QString m_style;
    // Found on first use: browsing families should not pay for it.
    mutable int m_largest = -1;
};

#endif // FONTCHOICE_H
