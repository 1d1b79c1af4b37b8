#include "models/characterpicture.h"

namespace Models {

CharacterPicture::CharacterPicture(const QImage &image, int id, float degradationLevel)
    : m_image(image)
    , m_id(id)
    , m_degradationLevel(degradationLevel)
{
}

CharacterPicture::~CharacterPicture() = default;

QImage CharacterPicture::getImage() const
{
    return m_image;
}

void CharacterPicture::setImage(const QImage &image)
{
    m_image = image;
}

int CharacterPicture::getId() const
{
    return m_id;
}

float CharacterPicture::getDegradationLevel() const
{
    return m_degradationLevel;
}

} // namespace Models
