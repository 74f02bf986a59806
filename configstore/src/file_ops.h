// The few file-system calls a save makes, behind one replaceable object so
// that tests can make a write, close or rename fail the way a full disk or a
// broken mount does. Every function follows its POSIX namesake: -1 and errno
// on failure.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

namespace ledra {

class FileOps {
public:
    virtual ~FileOps() = default;

    virtual int open(const char* path, int flags, mode_t mode);
    virtual ssize_t read(int fd, void* buf, size_t size);
    virtual ssize_t write(int fd, const void* buf, size_t size);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int fchmod(int fd, mode_t mode);
    virtual int fchown(int fd, uid_t uid, gid_t gid);
    virtual int stat(const char* path, struct stat* st);
    virtual int lstat(const char* path, struct stat* st);
    virtual ssize_t readlink(const char* path, char* buf, size_t size);
    // Creates and opens a new file from a name ending in "XXXXXX", which it
    // fills in; never follows or reuses an existing name.
    virtual int mkostemp(char* pathTemplate, int flags);
    virtual int fstat(int fd, struct stat* st);
    virtual int rename(const char* from, const char* to);
    virtual int unlink(const char* path);

    // The process-wide real implementation.
    static FileOps& system();
};

} // namespace ledra
