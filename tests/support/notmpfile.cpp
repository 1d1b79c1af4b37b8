// Preloaded into a program, makes every open with O_TMPFILE fail as on a file system without unnamed
// temporary files; every other open goes straight to the kernel. Each entry point a program may
// call is covered: the plain, 64-bit, at and fortified ones.
#include <cerrno>
#include <cstdarg>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

int openFile(int directory, const char *path, int flags, mode_t mode)
{
    if ((flags & (O_TMPFILE & ~O_DIRECTORY)) != 0) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return int(syscall(SYS_openat, directory, path, flags, mode));
}

// The mode is only passed, and only read, for a call that may create a file.
#define MODE_ARGUMENT(flags)                                                                                                      \
    mode_t mode = 0;                                                                                                              \
    if (((flags) & (O_CREAT | (O_TMPFILE & ~O_DIRECTORY))) != 0) {                                                               \
        va_list arguments;                                                                                                        \
        va_start(arguments, flags);                                                                                               \
        mode = va_arg(arguments, mode_t);                                                                                         \
        va_end(arguments);                                                                                                        \
    }

} // namespace

extern "C" {

int open(const char *path, int flags, ...)
{
    MODE_ARGUMENT(flags)
    return openFile(AT_FDCWD, path, flags, mode);
}

int open64(const char *path, int flags, ...)
{
    MODE_ARGUMENT(flags)
    return openFile(AT_FDCWD, path, flags, mode);
}

int openat(int directory, const char *path, int flags, ...)
{
    MODE_ARGUMENT(flags)
    return openFile(directory, path, flags, mode);
}

int openat64(int directory, const char *path, int flags, ...)
{
    MODE_ARGUMENT(flags)
    return openFile(directory, path, flags, mode);
}

int __open_2(const char *path, int flags)
{
    return openFile(AT_FDCWD, path, flags, 0);
}

int __open64_2(const char *path, int flags)
{
    return openFile(AT_FDCWD, path, flags, 0);
}

int __openat_2(int directory, const char *path, int flags)
{
    return openFile(directory, path, flags, 0);
}

int __openat64_2(int directory, const char *path, int flags)
{
    return openFile(directory, path, flags, 0);
}

} // extern "C"
