#pragma once
// Redirects this process's standard error into a file while it lives.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

class TStderrCapture {
public:
    explicit TStderrCapture(const std::string& path)
    {
        std::fflush(stderr);
        FSaved = ::dup(2);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, 2);
        ::close(fd);
    }
    ~TStderrCapture()
    {
        std::fflush(stderr);
        ::dup2(FSaved, 2);
        ::close(FSaved);
    }
    TStderrCapture(const TStderrCapture&) = delete;
    TStderrCapture& operator=(const TStderrCapture&) = delete;

private:
    int FSaved = -1;
};
