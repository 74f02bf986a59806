#include "file_ops.h"

#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <unistd.h>

namespace ledra {

int FileOps::open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
ssize_t FileOps::read(int fd, void* buf, size_t size) { return ::read(fd, buf, size); }
ssize_t FileOps::write(int fd, const void* buf, size_t size) { return ::write(fd, buf, size); }
int FileOps::fsync(int fd) { return ::fsync(fd); }
int FileOps::close(int fd) { return ::close(fd); }
int FileOps::fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int FileOps::fchown(int fd, uid_t uid, gid_t gid) { return ::fchown(fd, uid, gid); }
int FileOps::stat(const char* path, struct stat* st) { return ::stat(path, st); }
int FileOps::fstat(int fd, struct stat* st) { return ::fstat(fd, st); }
int FileOps::lstat(const char* path, struct stat* st) { return ::lstat(path, st); }
ssize_t FileOps::readlink(const char* path, char* buf, size_t size) { return ::readlink(path, buf, size); }
int FileOps::mkostemp(char* pathTemplate, int flags) { return ::mkostemp(pathTemplate, flags); }
int FileOps::rename(const char* from, const char* to) { return ::rename(from, to); }
int FileOps::unlink(const char* path) { return ::unlink(path); }

FileOps& FileOps::system() {
    static FileOps ops;
    return ops;
}

} // namespace ledra
