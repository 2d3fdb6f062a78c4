#pragma once

#include <string>

// A private JACK server with the dummy back-end, started for a test by the
// harness's jack-start under a name of its own, and stopped by jack-stop
// when the object goes.
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
    std::string state; // the scripts' folder for this server
    std::string name;
    bool ready;
};
