#pragma once

#include "Exhibition.h"
#include "KeyManager.h"
#include "PortAudioCallback.h"
#include "PortAudioDevice.h"

#include <SDL.h>
#include <atomic>
#include <string>
#include <vector>

class Drawer;
class GameState;
class OpenGLDrawer;

// The program's entry: builds the application from the command-line words,
// runs its event loop and returns the exit status.
int SDL_main(int argc, char** argv);

// The application shell: settings, window, event loop, input dispatch to the
// current state, state switching and the audio callback.
class Application : public PortAudioCallback {
public:
    // Settings taken from the command line.
    struct Settings {
        int windowWidth = 0;
        int windowHeight = 0;
        int antialiasLevel = 0;
        bool fullscreen = true;
        bool noSound = false;
        bool noMusic = false;
        std::string audioApi;
        bool exhibit = false; // exhibition mode: the piece starts over by itself
    };

    // words: the command-line words without the program name.
    explicit Application(const std::vector<std::string>& words);
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Runs until quit is requested.
    void eventLoop();
    // Ends the event loop after the events of the current pass.
    void quit();
    // Switches the current state by name ("GamePlay", "NoteScreen"); the old
    // state is deleted once the audio side has let go of it.
    void nextState(std::string newState, std::string info);
    // Exhibition mode: logs the end of the current cycle with its cause and
    // the drawer's textures, then switches to the note screen.
    void returnToNoteScreen(const std::string& cause);

    // Input from SDL, in window pixels; states get canvas coordinates.
    void keyDown(const SDL_keysym& key);
    void keyUp(const SDL_keysym& key);
    void mouseMove(int x, int y);
    void mouseDown(int button, int x, int y);
    void mouseUp(int button, int x, int y);
    void joyMove(int joystick, int axis, float value);
    void joyDown(int joystick, int button);
    void joyUp(int joystick, int button);

    // Audio thread: clears the block, then lets the effects and the current
    // state add their sound, then acknowledges a pending state switch.
    void getAudio(float* input, float* output, int frames) override;

    bool getNoMusic() const { return noMusic; }
    bool isQuitRequested() const { return quitRequested; }
    GameState* getCurrentState() const { return currentState.load(std::memory_order_acquire); }
    bool hasPendingOldState() const { return oldState != nullptr; }
    bool isAudioRunning() const { return audioRunning; }
    bool isStateChanging() const { return stateChanging.load(std::memory_order_acquire); }
    bool isExhibition() const { return exhibition.isOn(); }
    // Exhibition waits, in ms: after the final recordings, and without a key.
    Uint32 getExhibitionHoldMs() const { return exhibition.getHoldMs(); }
    Uint32 getExhibitionIdleMs() const { return exhibition.getIdleMs(); }

    // The questions answered before anything starts: "--help" prints the
    // usage, "--version" the name and version; either throws FatalError with
    // exit status 0. Returns when the words ask neither.
    static void answerQuestions(const std::vector<std::string>& words);
    // Reads the command-line words, one full pass per option as documented
    // in the usage text; "--help" prints the usage and throws FatalError.
    static Settings parseCommandLine(const std::vector<std::string>& words);
    static void printUsage();
    // How long a pass sleeps after `elapsed` ms since the previous one.
    static Uint32 pacingDelay(Uint32 elapsed);
    // A window pixel coordinate scaled to the canvas, truncated toward zero.
    static int scaleToCanvas(int pixel, int windowSize, int canvasSize);
    // Hands count compiled-in glyph pictures to a drawer, glyph 0 first.
    static void loadGlyphs(Drawer* target, const unsigned char* const* pictures, const unsigned int* sizes,
                           int count);
    // The joystick controls an axis movement reports, in order; returns how many (1 or 2).
    static int axisControls(int axis, float value, int controls[2]);

    // Between full screen on the primary monitor and a window (F11).
    void toggleFullScreen();
    bool isFullScreen() const { return fullscreen; }

private:
    void initKeyManager();
    // The sizes F11 switches between, from the mode that opened.
    void rememberModeSizes(const Settings& settings);
    // Sets up the audio device and, unless sound is off, starts it.
    void startAudio(const std::string& audioApi);
    void loadGlyphs();
    // Hands one SDL event to its handler.
    void dispatchEvent(const SDL_Event& event);
    // Deletes the old state if a switch is pending and acknowledged.
    void deleteAcknowledgedOldState();
    // Notices an audio stream that stopped by itself (its server went away):
    // from then on the game runs silent and switches count as acknowledged.
    void watchAudio();

    PortAudioDevice audioDevice;
    bool quitRequested;
    Uint32 lastTicks;
    int windowWidth;
    int windowHeight;
    bool fullscreen = true;
    int fullscreenWidth = 0;
    int fullscreenHeight = 0;
    int windowedWidth = 0;
    int windowedHeight = 0;
    bool noSound;
    bool noMusic;
    KeyManager keyManager;
    std::vector<SDL_Joystick*> joysticks;
    OpenGLDrawer* drawer;
    // Written by the main thread, read by the audio callback.
    std::atomic<GameState*> currentState;
    GameState* oldState;
    // Set by the main thread at a switch, cleared by the audio callback.
    std::atomic<bool> stateChanging;
    // Whether audio callbacks run; without them a switch is acknowledged at once.
    bool audioRunning;
    Exhibition exhibition; // off unless asked for
};
