// tavomi-pcscd-socket SOCKET COMMAND...: runs COMMAND (pcscd -f ...) with a listening
// unix socket at SOCKET handed over the way systemd's socket activation does it
// (descriptor 3, LISTEN_FDS=1, LISTEN_PID). pcsc-lite's daemon has its socket path built
// in; this is how the rig gives a private daemon its own socket where no private mount
// namespace can be made. Clients find it through PCSCLITE_CSOCK_NAME=SOCKET.

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tavomi-pcscd-socket SOCKET COMMAND [ARG...]\n");
        return 2;
    }
    const char* path = argv[1];
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::strlen(path) >= sizeof address.sun_path) {
        std::fprintf(stderr, "tavomi-pcscd-socket: socket path too long: %s\n", path);
        return 1;
    }
    std::strcpy(address.sun_path, path);

    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) {
        std::perror("tavomi-pcscd-socket: socket");
        return 1;
    }
    unlink(path);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        chmod(path, 0666) != 0 || listen(fd, SOMAXCONN) != 0) {
        std::fprintf(stderr, "tavomi-pcscd-socket: %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    if (fd != 3) {
        if (dup2(fd, 3) < 0) {
            std::perror("tavomi-pcscd-socket: dup2");
            return 1;
        }
        close(fd);
    }
    setenv("LISTEN_FDS", "1", 1);
    setenv("LISTEN_PID", std::to_string(getpid()).c_str(), 1);
    unsetenv("LISTEN_FDNAMES");
    execvp(argv[2], argv + 2);
    std::fprintf(stderr, "tavomi-pcscd-socket: cannot run %s: %s\n", argv[2], std::strerror(errno));
    return 127;
}
