#ifndef POINTSIZESEARCH_P_H
#define POINTSIZESEARCH_P_H

constexpr int largestPointSize = 1024;

/**
 * The largest point size from 1 to largestPointSize for which fits(size) holds, or 0 when none does. The size
 * returned fits and the next one does not (unless it is largestPointSize); a still larger one may fit again.
 */
template <typename Fits>
int largestFittingSize(Fits fits)
{
    if (!fits(1)) {
        return 0;
    }
    if (fits(largestPointSize)) {
        return largestPointSize;
    }
    // low always fits and high never does, so the answer has a refused neighbour even where the
    // pixel count is not monotone in the size.
    int low = 1;
    int high = largestPointSize;
    while (high - low > 1) {
        const int middle = low + (high - low) / 2;
        if (fits(middle)) {
            low = middle;
        } else {
            high = middle;
        }
    }
    return low;
}

#endif // POINTSIZESEARCH_P_H
