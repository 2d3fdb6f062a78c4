#include "JackRecorder.h"

#include <algorithm>
#include <cstring>

namespace {

// The port buffers read here lie in JACK's shared memory. The server runs
// the clients of one cycle in order through its own process-shared
// semaphores, which ThreadSanitizer cannot see: a game client in this same
// process writing its output buffer in the next cycle would be reported as
// racing with this read. Only these reads are hidden from it.
#if defined(__SANITIZE_THREAD__)
extern "C" void AnnotateIgnoreReadsBegin(const char* file, int line);
extern "C" void AnnotateIgnoreReadsEnd(const char* file, int line);
void copyPortBuffer(float* target, const float* source, size_t count) {
    AnnotateIgnoreReadsBegin(__FILE__, __LINE__);
    std::memcpy(target, source, count * sizeof(float));
    AnnotateIgnoreReadsEnd(__FILE__, __LINE__);
}
#else
void copyPortBuffer(float* target, const float* source, size_t count) {
    std::memcpy(target, source, count * sizeof(float));
}
#endif

} // namespace

JackRecorder::JackRecorder(size_t capacityFrames)
    : client(nullptr), inputs{nullptr, nullptr}, left(capacityFrames, 0.0f), right(capacityFrames, 0.0f),
      recording(false), frames(0), xruns(0) {
    jack_status_t status;
    client = jack_client_open("lumenfall-recorder", JackNoStartServer, &status);
    if (!client) {
        return;
    }
    inputs[0] = jack_port_register(client, "in_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    inputs[1] = jack_port_register(client, "in_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, &JackRecorder::process, this);
    jack_set_xrun_callback(client, &JackRecorder::countXrun, this);
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

int JackRecorder::countXrun(void* data) {
    static_cast<JackRecorder*>(data)->xruns.fetch_add(1, std::memory_order_acq_rel);
    return 0;
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
    copyPortBuffer(&self->left[at], l, n);
    copyPortBuffer(&self->right[at], r, n);
    self->frames.store(at + n, std::memory_order_release);
    return 0;
}
