#include "support/KillMidway.h"

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

bool killedMidway(const std::function<void(const std::function<void()>& here)>& work) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return false;
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        ::close(pipeFds[0]);
        work([fd = pipeFds[1]] {
            if (::write(fd, "!", 1) == 1) {
                for (;;)
                    ::pause();
            }
            ::_exit(2);
        });
        ::_exit(1); // never got there
    }
    ::close(pipeFds[1]);
    pollfd ready{pipeFds[0], POLLIN, 0};
    char byte = 0;
    const bool reached = ::poll(&ready, 1, 60000) == 1 && ::read(pipeFds[0], &byte, 1) == 1;
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(pipeFds[0]);
    return reached && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}
