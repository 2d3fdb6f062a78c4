#include "JackRecorder.h"

#include <algorithm>
#include <cstring>

JackRecorder::JackRecorder(size_t capacityFrames)
    : client(nullptr), inputs{nullptr, nullptr}, left(capacityFrames, 0.0f), right(capacityFrames, 0.0f),
      recording(false), frames(0) {
    jack_status_t status;
    client = jack_client_open("lumenfall-recorder", JackNoStartServer, &status);
    if (!client) {
        return;
    }
    inputs[0] = jack_port_register(client, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    inputs[1] = jack_port_register(client, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, &JackRecorder::process, this);
    jack_activate(client);
}

JackRecorder::~JackRecorder() {
    if (client) {
        jack_deactivate(client);
        jack_client_close(client);
    }
}

bool JackRecorder::connect(const std::string& pattern) {
    const char** ports = jack_get_ports(client, pattern.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
    if (!ports) {
        return false;
    }
    bool connected = ports[0] && ports[1] && jack_connect(client, ports[0], jack_port_name(inputs[0])) == 0 &&
                     jack_connect(client, ports[1], jack_port_name(inputs[1])) == 0;
    jack_free(ports);
    return connected;
}

int JackRecorder::process(jack_nframes_t count, void* data) {
    JackRecorder* self = static_cast<JackRecorder*>(data);
    if (!self->recording.load(std::memory_order_acquire)) {
        return 0;
    }
    size_t at = self->frames.load(std::memory_order_relaxed);
    size_t n = std::min<size_t>(count, self->left.size() - at);
    const float* l = static_cast<const float*>(jack_port_get_buffer(self->inputs[0], count));
    const float* r = static_cast<const float*>(jack_port_get_buffer(self->inputs[1], count));
    std::memcpy(&self->left[at], l, n * sizeof(float));
    std::memcpy(&self->right[at], r, n * sizeof(float));
    self->frames.store(at + n, std::memory_order_release);
    return 0;
}
