#pragma once

#include "CriticalSection.h"
#include "Thread.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>
#include <vorbis/vorbisfile.h>

// Up to 24 recordings streamed from a folder of Ogg Vorbis files, in three
// groups of eight whose loudness the play state sets. A background thread
// decodes each recording ahead of playback into three rotating buffers; the
// audio thread mixes the playing slots with a slow fade and pan, then passes
// the whole block through a gain and soft-saturation stage.
//
// Threads: the main thread calls update, triggerSound, stopSound and setFade
// and loads inactive slots; the streaming thread refills buffers the audio
// thread has finished with; the audio thread calls getAudio.
//
// A slot's buffers are handed over by turn numbers, each written by one
// thread only. The audio thread plays turn t from buffer t % NumBuffers and
// counts the turns it has played out; the streaming thread refills a buffer
// for turn t once turn t - NumBuffers is played out and then marks the
// buffer with t. The audio thread plays a buffer only at the turn it is
// marked with, and silence otherwise: after an underrun a refill that came
// too late for its turn is never heard, rather than heard a rotation late,
// and what is heard keeps the order of the file.
class StreamingSound : public Thread {
public:
    static const int NumSounds = 24;
    static const int NumBuffers = 3;
    static const int BufferSize = 11025; // a quarter of a second at 44100 Hz

    // One streaming slot.
    class Sound {
    public:
        Sound();
        ~Sound();

        Sound(const Sound&) = delete;
        Sound& operator=(const Sound&) = delete;

        // Main thread, inactive slot only: opens the file, decodes its first
        // three buffers and starts the fade-in. False when the file was refused.
        bool load(const std::string& path);
        // Streaming thread: refills, in turn order, every buffer the audio
        // thread has played out.
        void updateBuffers();
        // Audio thread: adds this slot to an interleaved stereo block.
        void getAudio(float* buffer, int frames);
        // Main thread.
        void setLevel(float newLevel) { level.store(newLevel, std::memory_order_release); }
        // Starts the fade-out.
        void stopPlaying() { keepPlaying.store(false, std::memory_order_release); }

        float getLevel() const { return level.load(std::memory_order_acquire); }
        bool isActive() const { return active.load(std::memory_order_acquire); }
        float getEnvelope() const { return envelope; }
        bool isKeepPlaying() const { return keepPlaying.load(std::memory_order_acquire); }

    private:
        friend class StreamingSound;

        // Decodes BufferSize samples into buffer index; caller holds decoderLock.
        // Returns how many of them came from the file (the rest is silence).
        int fillBuffer(int index);
        void closeFile();

        std::atomic<bool> active; // set last by load (main), cleared by the audio thread after a fade-out
        float envelope;           // audio thread while active, main thread while inactive
        std::atomic<bool> keepPlaying; // cleared by the streaming thread at end of file or by stopPlaying
        std::atomic<float> level;      // written by the main thread, read by the audio thread
        float panPhase;                // audio thread; radians, 0 to 2 pi
        float panSpeed;                // radians per audio block, 0.01 to 0.02

        CriticalSection decoderLock; // held by load (main) and fillBuffer (streaming thread)
        bool fileOpen;               // under decoderLock
        OggVorbis_File decoder;      // under decoderLock; owns the open file
        int decodedCount;            // under decoderLock; samples decoded since the last rewind
        std::string filePath;        // under decoderLock; the open file, for messages

        std::vector<float> buffers; // NumBuffers * BufferSize; a buffer belongs to the decoder from
                                    // when its turn is played out until it is marked with the next
        std::atomic<int> bufferTurn[NumBuffers]; // streaming thread; the turn each buffer holds
        std::atomic<int> turnsPlayed;            // audio thread; turns played out, so the one playing
        int nextTurn;                            // under decoderLock; the turn of the next refill
        int currentBuffer;                       // audio thread while active; turnsPlayed % NumBuffers
        int readPos;                             // audio thread while active
    };

    // Streams the recordings of the data folder's "sounds".
    StreamingSound();
    // Streams every file in the folder. Without withThread the buffers are
    // refilled only by calls to refillBuffers.
    explicit StreamingSound(const std::string& soundsFolder, bool withThread = true);
    ~StreamingSound() override;

    // Main thread, once per drawn frame: the start-up ramp, refilling of
    // finished slots and the three group levels (1 silences a group).
    void update(float level0, float level1, float level2);
    // Main thread: loads a random recording into the first inactive slot;
    // returns its number counted from 1 (0 when every slot is active).
    unsigned int triggerSound();
    // Main thread: fades out the slot numbered from 1, if active.
    void stopSound(unsigned int number);
    // Master fade of the output stage; 1 unless changed.
    void setFade(float newFade) { fade.store(newFade, std::memory_order_release); }
    // Audio thread: mixes the active slots into the block, then applies the
    // output stage to the whole block (what was there before included).
    void getAudio(float* buffer, int frames);

    // One pass of the streaming thread over the active slots.
    void refillBuffers();
    bool run() override;

    // For tests: when set, called on the refilling thread after each buffer
    // has been decoded and before it is handed to the audio thread.
    static void (*refillHook)(int buffer);

    const Sound& getSound(int index) const { return sounds[index]; }

private:
    Sound sounds[NumSounds];        // 0-7 group 0, 8-15 group 1, 16-23 group 2
    std::vector<std::string> paths; // read-only after construction
    std::atomic<bool> quit;         // set by the main thread to end the streaming thread
    std::atomic<float> fade;        // written by the main thread, read by the audio thread
    int triggeredCount;             // main thread; recordings started by the ramp
    int triggerCountdown;           // main thread; frames until the next ramp start
};
