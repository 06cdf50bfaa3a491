// openwatch PATH...: reports every open of the given files without opening
// them (inotify IN_OPEN). Prints "watching" once every watch is in place,
// then "opened PATH" for each open, until it is ended by a signal.
#include <sys/inotify.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <map>
#include <string>

int main(int argc, char **argv) {
    const int fd = inotify_init1(IN_CLOEXEC);
    if (fd < 0) {
        std::perror("openwatch: inotify_init1");
        return 2;
    }
    std::map<int, std::string> paths;
    for (int i = 1; i < argc; ++i) {
        const int wd = inotify_add_watch(fd, argv[i], IN_OPEN);
        if (wd < 0) {
            std::perror(argv[i]);
            return 2;
        }
        paths[wd] = argv[i];
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("watching\n");
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return 1;
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            if (event->mask & IN_OPEN)
                std::printf("opened %s\n", paths[event->wd].c_str());
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}
