#ifndef OFTOOL_RENDERJOB_H
#define OFTOOL_RENDERJOB_H

#include "batchjob.h"

#include <QString>

class QFont;

/** The font a job draws with, made afresh each time so that every thread has a font of its own. */
QFont jobFont(const BatchJob &job);

/** "12 pt" or "16 px". */
QString sizeText(const BatchJob &job);

/** Renders a job's letters and writes them to a file for StagedFiles to commit, or keeps them; safe on any thread. */
BatchJobResult renderJob(const BatchJob &job);

#endif // OFTOOL_RENDERJOB_H
