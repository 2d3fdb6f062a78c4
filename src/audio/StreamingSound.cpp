#include "StreamingSound.h"

#include "DecodeGuard.h"
#include "FatalCheck.h"
#include "FilePath.h"
#include "Log.h"
#include "OggOpener.h"
#include "Random.h"
#include "ScopedLock.h"

#include <SDL_timer.h>
#include <algorithm>
#include <cmath>
#include <pthread.h>

namespace {

// Every entry of the folder, hidden ones included, in sorted order.
std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> paths;
    FilePath dir(folder);
    // One reading of the folder, not one per entry.
    for (const std::string& name : dir.getSortedChildNames())
        paths.push_back(dir.getChild(name).path);
    return paths;
}

const float TwoPi = 6.283185f;
const float EnvelopeStep = 0.00001f; // 100000 samples from silence to full

} // namespace

// ---------------------------------------------------------------------------
// One slot

void (*StreamingSound::refillHook)(int buffer) = nullptr;

StreamingSound::Sound::Sound()
    : active(false), envelope(0.0f), keepPlaying(true), level(0.0f), fileOpen(false), decoder(),
      decodedCount(0), buffers(NumBuffers * BufferSize, 0.0f), turnsPlayed(0), nextTurn(NumBuffers),
      currentBuffer(0), readPos(0) {
    panPhase = Random::uniform() * TwoPi;
    panSpeed = Random::uniform() * 0.01f + 0.01f;
    for (int i = 0; i < NumBuffers; ++i) {
        bufferTurn[i].store(i, std::memory_order_relaxed);
    }
}

StreamingSound::Sound::~Sound() {
    closeFile();
}

void StreamingSound::Sound::closeFile() {
    if (fileOpen) {
        ov_clear(&decoder);
        fileOpen = false;
    }
}

bool StreamingSound::Sound::load(const std::string& path) {
    // The streaming thread may still be refilling this slot from before the
    // audio thread let it go; the lock waits for that refill to finish.
    ScopedLock hold(decoderLock);
    closeFile();
    if (!OggOpener::openDecoder(path, &decoder, "so ignoring."))
        return false;
    // Playback takes channel 0 of any file, so only a stream without channels
    // is refused.
    vorbis_info* info = ov_info(&decoder, 0);
    if (!info || info->channels < 1) {
        ov_clear(&decoder);
        Log::plain("vorbisfile: " + path + " is mono, so ignoring.");
        return false;
    }
    fileOpen = true;
    filePath = path;
    decodedCount = 0;
    int decoded = 0;
    // The first three turns. The slot is inactive, so the audio thread
    // looks at none of this until active is set below.
    for (int i = 0; i < NumBuffers; ++i) {
        decoded += fillBuffer(i);
        bufferTurn[i].store(i, std::memory_order_relaxed);
    }
    turnsPlayed.store(0, std::memory_order_relaxed);
    nextTurn = NumBuffers;
    if (!fileOpen) {
        // The decoder faulted on it; fillBuffer has said so.
        return false;
    }
    if (decoded == 0) {
        // Headers without audio: it would only ever play silence.
        closeFile();
        Log::plain("vorbisfile: " + path + " holds no audio, so ignoring.");
        return false;
    }
    currentBuffer = 0;
    readPos = 0;
    envelope = 0.0f;
    // A file shorter than three buffers starts its fade-out at the next
    // refill, which reaches its end again.
    keepPlaying.store(true, std::memory_order_release);
    active.store(true, std::memory_order_release);
    return true;
}

int StreamingSound::Sound::fillBuffer(int index) {
    float* out = &buffers[static_cast<size_t>(index) * BufferSize];
    int decoded = 0;
    const bool decodedCleanly = DecodeGuard::run([&] {
        // The decoder is normally where the last fill stopped; seek only when
        // not. (Straight after opening a chained file libvorbisfile reports a
        // position in its last link, so the first fill always seeks.)
        if (ov_pcm_tell(&decoder) != decodedCount) {
            ov_pcm_seek(&decoder, decodedCount);
        }
        int stored = 0;
        bool rewound = false;
        int storedSinceRewind = 0;
        while (stored < BufferSize) {
            float** pcm = nullptr;
            int bitstream = 0;
            long n = ov_read_float(&decoder, &pcm, BufferSize - stored, &bitstream);
            if (n <= 0 || bitstream > 0) {
                // The end of the first logical stream, or a decoding error
                // that counts as one: start the fade-out and go on from the start.
                if (rewound && storedSinceRewind == 0) {
                    // Nothing at all to decode: silence rather than looping for ever.
                    std::fill(out + stored, out + BufferSize, 0.0f);
                    break;
                }
                decodedCount = 0;
                ov_pcm_seek(&decoder, 0);
                keepPlaying.store(false, std::memory_order_release);
                rewound = true;
                storedSinceRewind = 0;
                continue;
            }
            std::copy(pcm[0], pcm[0] + n, out + stored);
            stored += static_cast<int>(n);
            decoded += static_cast<int>(n);
            storedSinceRewind += static_cast<int>(n);
            decodedCount += static_cast<int>(n);
        }
    });
    if (!decodedCleanly) {
        // A damaged recording made the decoder fault: drop the file, and let
        // the slot fade out over silence and be replaced.
        std::fill(out, out + BufferSize, 0.0f);
        closeFile();
        keepPlaying.store(false, std::memory_order_release);
        Log::plain("vorbisfile: " + filePath + " is damaged; the decoder failed on it, so it stops.");
        return 0;
    }
    return decoded;
}

void StreamingSound::Sound::updateBuffers() {
    ScopedLock hold(decoderLock);
    // A buffer is free for turn t once turn t - NumBuffers has been played
    // out. Turns whose time has already passed are decoded all the same, so
    // that the recording keeps time with what was heard (silence), and are
    // never played: a buffer plays only at the turn it is marked with.
    const int played = turnsPlayed.load(std::memory_order_acquire);
    while (fileOpen && nextTurn < played + NumBuffers) {
        const int index = nextTurn % NumBuffers;
        fillBuffer(index);
        if (refillHook) {
            refillHook(index);
        }
        bufferTurn[index].store(nextTurn, std::memory_order_release);
        ++nextTurn;
    }
}

// Runs inside the audio callback: no allocation, no I/O, no locks, no logging.
void StreamingSound::Sound::getAudio(float* buffer, int frames) {
    panPhase += panSpeed;
    if (panPhase > TwoPi) {
        panPhase -= TwoPi;
    }
    float pan = std::sin(panPhase) * 0.5f + 0.5f;
    float leftPan = 1.0f - pan;
    float gain = level.load(std::memory_order_acquire);
    bool keep = keepPlaying.load(std::memory_order_acquire);
    float env = envelope;
    int i = 0;
    while (i < frames) {
        int run = std::min(frames - i, BufferSize - readPos);
        // A buffer the streaming thread has not refilled for this turn yet
        // may be being written now: play silence for it rather than read it
        // or wait.
        const int turn = turnsPlayed.load(std::memory_order_relaxed);
        bool ready = bufferTurn[currentBuffer].load(std::memory_order_acquire) == turn;
        const float* in = &buffers[static_cast<size_t>(currentBuffer) * BufferSize + readPos];
        float* out = buffer + 2 * i;
        for (int j = 0; j < run; ++j) {
            float x = ready ? in[j] : 0.0f;
            out[2 * j] += x * env * leftPan * gain;
            out[2 * j + 1] += x * env * pan * gain;
            if (env < 1.0f && keep) {
                env += EnvelopeStep;
            } else if (env > 0.0f && !keep) {
                env -= EnvelopeStep;
            }
        }
        i += run;
        readPos += run;
        if (readPos == BufferSize) {
            // Hands the buffer back: what was read from it is read.
            turnsPlayed.store(turn + 1, std::memory_order_release);
            currentBuffer = (currentBuffer + 1) % NumBuffers;
            readPos = 0;
        }
    }
    envelope = env;
    if (env <= 0.0f && !keep) {
        active.store(false, std::memory_order_release);
    }
}

// ---------------------------------------------------------------------------
// The set of slots

StreamingSound::StreamingSound() : StreamingSound(FilePath::getDataFilesDir().getChild("sounds").path) {}

StreamingSound::StreamingSound(const std::string& soundsFolder, bool withThread)
    : paths(listFolder(soundsFolder)), quit(false), fade(1.0f), triggeredCount(0), triggerCountdown(0) {
    if (withThread) {
        startThread(this);
    }
}

StreamingSound::~StreamingSound() {
    quit.store(true, std::memory_order_release);
    // The slots must outlive the thread that refills them.
    waitForThread();
}

bool StreamingSound::run() {
    // Named so that its CPU use can be told apart from the other threads'.
    pthread_setname_np(pthread_self(), "lf-streaming");
    while (!quit.load(std::memory_order_acquire)) {
        refillBuffers();
        SDL_Delay(62);
    }
    return true;
}

void StreamingSound::refillBuffers() {
    for (Sound& sound : sounds) {
        if (sound.isActive()) {
            sound.updateBuffers();
        }
    }
}

void StreamingSound::update(float level0, float level1, float level2) {
    if (triggeredCount <= 23) {
        --triggerCountdown;
        if (triggerCountdown <= 0) {
            triggerSound();
            ++triggeredCount;
            triggerCountdown = 2;
        }
    } else {
        for (Sound& sound : sounds) {
            if (!sound.isActive()) {
                triggerSound();
            }
        }
    }
    for (int i = 0; i < NumSounds; ++i) {
        float level = i < 8 ? level0 : (i < 16 ? level1 : level2);
        sounds[i].setLevel(1.0f - level);
    }
}

unsigned int StreamingSound::triggerSound() {
    FATAL_CHECK(paths.size() > 0);
    for (int i = 0; i < NumSounds; ++i) {
        if (!sounds[i].isActive()) {
            float u = Random::uniform();
            int index = static_cast<int>(u * static_cast<float>(paths.size()) * 0.999999f);
            sounds[i].load(paths[static_cast<size_t>(index)]);
            return static_cast<unsigned int>(i + 1);
        }
    }
    return 0;
}

void StreamingSound::stopSound(unsigned int number) {
    if (number >= 1 && number <= NumSounds && sounds[number - 1].isActive()) {
        sounds[number - 1].stopPlaying();
    }
}

// Runs inside the audio callback: no allocation, no I/O, no locks, no logging.
void StreamingSound::getAudio(float* buffer, int frames) {
    for (Sound& sound : sounds) {
        if (sound.isActive()) {
            sound.getAudio(buffer, frames);
        }
    }
    float f = fade.load(std::memory_order_acquire);
    float g = f / ((f - 1.0f) * -0.33333337f + f) * 0.33333334f;
    for (int i = 0; i < 2 * frames; ++i) {
        float x = g * buffer[i];
        buffer[i] = std::tanh(2.0f * x) * 0.99f;
    }
}
