#pragma once

#include <string>
#include <sys/types.h>

// A private JACK server with the dummy back-end, started by a test under a
// name of its own and stopped when the object goes.
class JackServer {
public:
    explicit JackServer(int rate);
    ~JackServer();

    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;

    // True once the server accepts clients.
    bool isReady() const { return ready; }
    const std::string& getName() const { return name; }

private:
    std::string name;
    pid_t pid;
    bool ready;
};
