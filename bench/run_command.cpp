// pressel_bench_run STDOUT STDERR COMMAND [ARG...]
//
// Runs a command with its standard output and error going to the files
// STDOUT and STDERR (/dev/null for output that is only timed), waits for it and prints one line:
//
//   WALL_SECONDS CPU_USER_SECONDS CPU_SYSTEM_SECONDS PEAK_RSS_KIB EXIT_STATUS
//
// with microsecond resolution (the times of /usr/bin/time are rounded to
// 10 ms, too coarse for a fast command on a moderate stream).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "Usage: pressel_bench_run STDOUT STDERR COMMAND [ARG...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::perror("fork");
        return 2;
    }
    if (pid == 0) {
        const int out = ::open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int errFd = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || errFd < 0 || ::dup2(out, 1) < 0 || ::dup2(errFd, 2) < 0) _exit(127);
        ::execvp(argv[3], argv + 3);
        _exit(127);
    }
    int status = 0;
    struct rusage ru{};
    if (::wait4(pid, &status, 0, &ru) < 0) {
        std::perror("wait4");
        return 2;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    std::printf("%.6f %.6f %.6f %ld %d\n", wall, seconds(ru.ru_utime), seconds(ru.ru_stime), ru.ru_maxrss,
                WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    return 0;
}
