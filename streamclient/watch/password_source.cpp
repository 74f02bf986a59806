#include "password_source.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace watch {

namespace {

// More than any camera takes; a file or line longer than this is not a password.
constexpr std::size_t kMostRead = 4096;

// Takes the first line of `text` (without LF or CR LF) as the password.
bool firstLine(std::string text, std::size_t limit, std::string& password, std::string& error) {
    const std::size_t end = text.find('\n');
    if (end != std::string::npos) text.resize(end);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.size() > limit) {
        error = "the password is longer than " + std::to_string(limit) + " bytes";
        return false;
    }
    password = std::move(text);
    return true;
}

// Reads until a line end, the end of the input or kMostRead bytes.
bool readLine(int fd, std::string& text, bool stopAtLineEnd) {
    char buffer[256];
    while (text.size() < kMostRead) {
        const ssize_t n = ::read(fd, buffer, stopAtLineEnd ? 1 : sizeof buffer);
        if (n < 0) return false; // also a signal during the prompt
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (stopAtLineEnd && buffer[0] == '\n') break;
    }
    return true;
}

// Echo off on the terminal for its lifetime, and no restart of a read
// interrupted by Ctrl-C or a termination request, which end the prompt.
class QuietTerminal {
public:
    QuietTerminal() {
        ok_ = ::tcgetattr(STDIN_FILENO, &saved_) == 0;
        if (!ok_) return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        ok_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        struct sigaction interrupt {};
        interrupt.sa_handler = [](int) {};
        sigemptyset(&interrupt.sa_mask);
        ::sigaction(SIGINT, &interrupt, &savedInt_);
        ::sigaction(SIGTERM, &interrupt, &savedTerm_);
    }
    ~QuietTerminal() {
        ::sigaction(SIGINT, &savedInt_, nullptr);
        ::sigaction(SIGTERM, &savedTerm_, nullptr);
        if (ok_) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
    QuietTerminal(const QuietTerminal&) = delete;
    QuietTerminal& operator=(const QuietTerminal&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
    termios saved_{};
    struct sigaction savedInt_ {};
    struct sigaction savedTerm_ {};
};

} // namespace

bool readPasswordFile(const std::string& path, std::size_t limit, std::string& password, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = "cannot read the password file " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    std::string text;
    bool ok = ::fstat(fd, &info) == 0;
    if (!ok) {
        error = "cannot read the password file " + path + ": " + std::strerror(errno);
    } else if (S_ISREG(info.st_mode) && (info.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        error = "the password file " + path + " may be read by others; make it private (chmod 600 " + path + ")";
        ok = false;
    } else if (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode)) {
        error = "the password file " + path + " is neither a file nor a pipe";
        ok = false;
    } else if (!readLine(fd, text, false)) {
        error = "cannot read the password file " + path + ": " + std::strerror(errno);
        ok = false;
    }
    ::close(fd);
    if (ok && !firstLine(std::move(text), limit, password, error)) {
        error = "in " + path + ": " + error;
        return false;
    }
    return ok;
}

bool canPrompt() { return ::isatty(STDIN_FILENO) == 1; }

bool promptPassword(const std::string& prompt, std::size_t limit, std::string& password, std::string& error) {
    std::string line;
    bool read = false;
    {
        QuietTerminal terminal;
        if (!terminal.ok()) {
            error = "cannot ask for the password: standard input is not a terminal";
            return false;
        }
        std::fputs(prompt.c_str(), stderr);
        std::fflush(stderr);
        read = readLine(STDIN_FILENO, line, true);
    }
    if (!read || line.empty()) {
        std::fputs("\n", stderr);
        error = "no password was typed";
        return false;
    }
    return firstLine(std::move(line), limit, password, error);
}

void overwriteArgument(char* argument, const std::string& replacement) {
    const std::size_t length = std::strlen(argument);
    const std::size_t kept = std::min(length, replacement.size());
    std::memcpy(argument, replacement.data(), kept);
    std::memset(argument + kept, 0, length - kept);
}

} // namespace watch
