#ifndef INKLOSS_P_H
#define INKLOSS_P_H

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QFont;
class QImage;
class QPoint;
class QRect;
class QString;
QT_END_NAMESPACE

struct MarkRun;

/**
 * Whether letter, drawn with font into image (lineHeight rows, or none) with the pen at origin (drawLetter with
 * mark), has ink beyond the image's edges. box is the letter's outline box relative to the pen; only a letter
 * whose box reaches one pixel past the image, or whose ink lies on its border (a box may be wrong), is drawn
 * again with room around it.
 */
bool losesInk(const QImage &image, int lineHeight, const QPoint &origin, const QRect &box, const QFont &font, int dpi,
              const QString &letter, const MarkRun &mark);

#endif // INKLOSS_P_H
