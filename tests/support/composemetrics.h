#ifndef TESTS_COMPOSEMETRICS_H
#define TESTS_COMPOSEMETRICS_H

#include "metricsfile.h"

/* The metrics file oftool render --metrics writes, as the composition takes it; false when it cannot be read. */
inline bool readComposeMetrics(const QString &path, MetricsFile::TextMetrics *metrics)
{
    QString error;
    return MetricsFile::readMetricsFile(path, metrics, &error);
}

#endif // TESTS_COMPOSEMETRICS_H
