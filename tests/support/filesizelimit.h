#ifndef TESTS_FILESIZELIMIT_H
#define TESTS_FILESIZELIMIT_H

#include <csignal>
#include <iostream>
#include <sys/resource.h>

/*
 * Limits the size of files this process writes while it lives, with SIGXFSZ ignored: a write past
 * the limit then fails as on a full disk instead of killing the process. Standard error, when it
 * is captured into a file, is limited too.
 */
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_ok = getrlimit(RLIMIT_FSIZE, &m_saved) == 0;
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        m_ok = m_ok && setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }

    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
        std::cerr.clear(); // a message that did not fit would silence every later one
    }

    bool isActive() const { return m_ok; }

    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int) = SIG_DFL;
    bool m_ok = false;
};

#endif // TESTS_FILESIZELIMIT_H
