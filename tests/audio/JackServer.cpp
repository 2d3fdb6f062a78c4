#include "JackServer.h"

#include <csignal>
#include <fcntl.h>
#include <jack/jack.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

JackServer::JackServer(int rate) : pid(-1), ready(false) {
    name = "lumenfall-test-" + std::to_string(getpid()) + "-" + std::to_string(rate);
    std::string rateText = std::to_string(rate);
    std::vector<const char*> args = {"jackd", "-n",    name.c_str(), "--no-realtime",
                                     "-d",    "dummy", "-r",         rateText.c_str(),
                                     "-p",    "512",   nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    int failed =
        posix_spawnp(&pid, "jackd", &actions, nullptr, const_cast<char* const*>(args.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) {
        pid = -1;
        return;
    }
    // Up to 20 s: a loaded machine can take seconds to start a server.
    for (int attempt = 0; attempt < 400 && !ready; ++attempt) {
        usleep(50000);
        jack_status_t status;
        jack_client_t* probe = jack_client_open(
            "lumenfall-probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
            name.c_str());
        if (probe) {
            jack_client_close(probe);
            ready = true;
        }
    }
}

JackServer::~JackServer() {
    if (pid > 0) {
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
    }
}
