#ifndef FORMATS_FONTMERGE_H
#define FORMATS_FONTMERGE_H

namespace Models {
class Font;
}

/**
 * Adds a copy of every picture of source to target: a letter target lacks comes with source's
 * anchor lines, and each letter's pictures get the ids after the ones it holds (0, 1, ...), in order.
 * Returns how many pictures were added.
 */
int mergeFont(Models::Font *target, const Models::Font &source);

#endif // FORMATS_FONTMERGE_H
