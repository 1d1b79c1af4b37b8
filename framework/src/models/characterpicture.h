#ifndef MODELS_CHARACTERPICTURE_H
#define MODELS_CHARACTERPICTURE_H

#include "quillmeremakefont_export.h"

#include <QImage>

namespace Models {

/** One image of a letter, with an id and a degradation level fixed at construction. */
class QMF_EXPORT CharacterPicture
{
public:
    /** Keeps a shallow copy of the image handle; no pixels are copied. */
    CharacterPicture(const QImage &image, int id, float degradationLevel);
    ~CharacterPicture();

    /** A handle sharing the stored pixels; painting into it detaches it. */
    QImage getImage() const;
    /** Replaces the stored image. */
    void setImage(const QImage &image);
    /** The picture's id within its letter. */
    int getId() const;
    /** The picture's degradation level. */
    float getDegradationLevel() const;

private:
    QImage m_image;
    int m_id;
    float m_degradationLevel;
};

} // namespace Models

#endif // MODELS_CHARACTERPICTURE_H
