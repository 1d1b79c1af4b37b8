#ifndef TESTS_STDERRCAPTURE_H
#define TESTS_STDERRCAPTURE_H

#include <QByteArray>
#include <QTemporaryFile>

#include <cstdio>
#include <iostream>
#include <unistd.h>

/* Sends file descriptor 2 to a temporary file until text() is called. */
class StderrCapture
{
public:
    StderrCapture()
    {
        m_file.open();
        std::cerr.flush();
        fflush(stderr);
        m_saved = dup(2);
        dup2(m_file.handle(), 2);
    }

    ~StderrCapture() { restore(); }

    /** Everything written to standard error since construction; stops capturing. */
    QByteArray text()
    {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0) {
            return;
        }
        std::cerr.flush();
        fflush(stderr);
        dup2(m_saved, 2);
        close(m_saved);
        m_saved = -1;
    }

    QTemporaryFile m_file;
    int m_saved = -1;
};

#endif // TESTS_STDERRCAPTURE_H
