#ifndef TESTS_OFTOOLRUN_H
#define TESTS_OFTOOLRUN_H

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

struct OftoolRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

/* Runs the built oftool (OFTOOL_PATH) to its end; status -1 when it crashed or hung. */
inline OftoolRun runOftool(const QStringList &arguments, const QString &workingDirectory,
                           QProcessEnvironment environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setWorkingDirectory(workingDirectory);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(OFTOOL_PATH), arguments);
    OftoolRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        run.err = "oftool did not finish normally";
        return run;
    }
    run.status = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

#endif // TESTS_OFTOOLRUN_H
