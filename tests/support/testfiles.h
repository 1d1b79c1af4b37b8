#ifndef TESTS_TESTFILES_H
#define TESTS_TESTFILES_H

#include <QByteArray>
#include <QFile>
#include <QString>

/** A file's bytes, or "<unreadable>", which no expected content equals. */
inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

#endif // TESTS_TESTFILES_H
