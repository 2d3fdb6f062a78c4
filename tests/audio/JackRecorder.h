#pragma once

#include <atomic>
#include <jack/jack.h>
#include <string>
#include <vector>

// A JACK client that records two output ports of another client, as they
// reach the server, into memory made before recording starts.
class JackRecorder {
public:
    explicit JackRecorder(size_t capacityFrames);
    ~JackRecorder();

    JackRecorder(const JackRecorder&) = delete;
    JackRecorder& operator=(const JackRecorder&) = delete;

    bool isOpen() const { return client != nullptr; }
    // Connects the first two output ports whose names match the pattern
    // (a regular expression) to the recorder; true when both connected.
    bool connect(const std::string& pattern);
    void start() { recording.store(true, std::memory_order_release); }
    void stop() { recording.store(false, std::memory_order_release); }

    // Frames recorded so far; read after stop.
    size_t getFrames() const { return frames.load(std::memory_order_acquire); }
    const std::vector<float>& getLeft() const { return left; }
    const std::vector<float>& getRight() const { return right; }
    // Cycles the server reported as late or lost since the recorder opened.
    int getXruns() const { return xruns.load(std::memory_order_acquire); }

private:
    static int process(jack_nframes_t count, void* data);
    static int countXrun(void* data);

    jack_client_t* client;
    jack_port_t* inputs[2];
    std::vector<float> left, right; // written by the JACK thread while recording
    std::atomic<bool> recording;
    std::atomic<size_t> frames;
    std::atomic<int> xruns;
};
