#include "renderjob.h"

#include "metricsfile.h"
#include "outputfile.h"

#include "glyphrenderer.h"
#include "installedfonts.h"

#include "models/font.h"

#include <QFont>
#include <QFontInfo>

QFont jobFont(const BatchJob &job)
{
    QFont font = InstalledFonts::font(job.face.queryFamily, job.face.queryStyle, job.pixels ? 12 : job.size);
    if (job.pixels) {
        font.setPixelSize(job.size);
    }
    return font;
}

QString sizeText(const BatchJob &job)
{
    return QStringLiteral("%1 %2").arg(job.size).arg(job.pixels ? QStringLiteral("px") : QStringLiteral("pt"));
}

namespace {

RenderSettings settingsOf(const BatchJob &job)
{
    RenderSettings settings = job.settings;
    settings.dpi = job.dpi;
    return settings;
}

QString whyNotWritten(const BatchJob &job, const QFont &font, const QString &writeError)
{
    if (fitsPixelBudget(font, job.letters, settingsOf(job))) {
        return QStringLiteral("oftool render: ")
               + Cli::writeFailure(job.path, job.typedOutput, QStringLiteral("cannot write %1: %2").arg(job.path, writeError));
    }
    const QString what = QStringLiteral("oftool render: %1 %2 %3: the glyph images would take more than %4 pixels; ")
                             .arg(job.face.family, job.face.style, sizeText(job), QString::number(maxGlyphPixels));
    if (job.pixels) {
        return what + QStringLiteral("draw fewer characters or a smaller size");
    }
    const int largest = largestFittingPointSize(font, job.letters, settingsOf(job));
    return what + (largest > 0 ? QStringLiteral("the largest size that fits is %1 pt").arg(largest)
                               : QStringLiteral("not even 1 pt fits; draw fewer characters"));
}

} // namespace

BatchJobResult renderJob(const BatchJob &job)
{
    const QFont font = jobFont(job);
    const QFontInfo info(font);
    BatchJobResult result;
    result.resolvedFamily = info.family();
    result.resolvedStyle = info.styleName();
    result.pixelSize = renderedPixelSize(font, job.dpi);
    const auto docFont = std::make_shared<Models::Font>(job.fontName);
    QString error;
    if (renderGlyphs(font, job.letters, settingsOf(job), docFont.get(), &result.geometry, &result.emptyLetters,
                     &result.clippedLetters)) {
        if (job.keepFont) {
            result.font = docFont;
            return result;
        }
        result.staged = StagedFiles::write(docFont.get(), job.path, &error, job.compress);
    }
    if (result.staged.isNull()) {
        result.error = whyNotWritten(job, font, error);
        return result;
    }
    result.bytes = result.staged.bytes;
    if (job.settings.metrics) {
        const QString metricsPath = MetricsFile::metricsPath(job.path);
        const QByteArray hash = StagedFiles::sha256(result.staged, &error);
        if (!hash.isEmpty()) {
            const QByteArray metrics = MetricsFile::metricsText(job.path, job.settings, result.geometry, result.staged.bytes, hash);
            result.stagedMetrics = StagedFiles::write(metrics, metricsPath, &error);
        }
        if (result.stagedMetrics.isNull()) {
            StagedFiles::drop(result.staged);
            result.staged = StagedFile();
            result.error = QStringLiteral("oftool render: ")
                           + Cli::writeFailure(metricsPath, job.typedOutput, QStringLiteral("cannot write %1: %2").arg(metricsPath, error));
        }
    }
    return result;
}
