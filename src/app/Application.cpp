#include "Application.h"

#include "BuildConfig.h"
#include "ConfigLoader.h"
#include "FatalError.h"
#include "FilePath.h"
#include "Fonts.h"
#include "GamePlay.h"
#include "GameState.h"
#include "ImageLoader.h"
#include "Log.h"
#include "NoteScreen.h"
#include "OpenGLDrawer.h"
#include "ScreenResolution.h"
#include "Sounds.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <sstream>

int SDL_main(int argc, char** argv) {
    srand(static_cast<unsigned>(time(nullptr)));
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i)
        words.push_back(argv[i]);
    try {
        Application::answerQuestions(words);
        Application application(words);
        application.eventLoop();
    } catch (FatalError& error) {
        FatalError copy = error;
        copy.display();
        return copy.exitStatus;
    }
    return 0;
}

namespace {

// Set by SIGTERM and SIGINT. SDL turns these signals into its quit event, but
// a quit event that arrives while the window is still being set up can be
// lost; this flag is seen by the event loop whenever the signal came.
volatile sig_atomic_t quitSignalled = 0;

void onQuitSignal(int) {
    quitSignalled = 1;
}

// Reads an integer at the start of word the way a stream extraction does;
// on failure the previous value stays. Each word is read on its own, so a
// value that is not a number cannot spoil the options read after it.
void readInteger(const std::string& word, int& value) {
    std::istringstream stream(word);
    int number = 0;
    if (stream >> number)
        value = number;
}

bool isWord(const std::string& word, const char* longForm, const char* shortForm) {
    return word == longForm || (shortForm && word == shortForm);
}

// The pass of an option without a value: whether it occurs at all.
bool hasOption(const std::vector<std::string>& words, const char* longForm, const char* shortForm) {
    for (const std::string& word : words)
        if (isWord(word, longForm, shortForm))
            return true;
    return false;
}

// The pass of a window size option: the last readable value, starting from
// value. A size below 1 cannot open a window; it counts as unreadable.
int readSizeOption(const std::vector<std::string>& words, const char* longForm, const char* shortForm,
                   int value) {
    const size_t count = words.size();
    for (size_t i = 0; i < count; ++i)
        if (isWord(words[i], longForm, shortForm) && i + 1 < count) {
            int read = value;
            readInteger(words[++i], read);
            if (read >= 1)
                value = read;
        }
    return value;
}

// Stops the start when there is no X display to open a window on. Without
// one SDL would try its text-mode drivers, which take over the terminal.
void checkDisplay() {
    const char* display = getenv("DISPLAY");
    if (!display || !*display)
        throw FatalError("No X display (DISPLAY is not set): start the game from a desktop session.");
    if (!ScreenResolution::displayOpens())
        throw FatalError(std::string("Could not open the X display \"") + display +
                         "\": start the game from a desktop session, or set DISPLAY to a running X server.");
}

// SDL's choices the player has not made: only its X11 driver can show
// OpenGL, and full screen goes to the primary monitor.
void chooseSdlDrivers() {
    const char* driver = getenv("SDL_VIDEODRIVER");
    if (!driver || !*driver)
        setenv("SDL_VIDEODRIVER", "x11", 1);
    // Classic SDL takes the Xinerama screen numbered here, and otherwise the
    // one at the screen's top left corner, which need not be the primary.
    // SDL 1.2 on SDL 2 (sdl12-compat, which calls itself 1.2.50 or later)
    // takes the number as SDL 2's display, and SDL 2 lists the primary
    // first: there the Xinerama number would name another monitor.
    const SDL_version* linked = SDL_Linked_Version();
    const bool onSdl2 = linked && linked->patch >= 50;
    if (!onSdl2 && !getenv("SDL_VIDEO_FULLSCREEN_HEAD") && !getenv("SDL_VIDEO_FULLSCREEN_DISPLAY")) {
        int primary = ScreenResolution::primaryMonitorIndex();
        if (primary >= 0)
            setenv("SDL_VIDEO_FULLSCREEN_HEAD", std::to_string(primary).c_str(), 1);
    }
}

// Starts SDL's timer, video and joysticks, takes over the quit signals and
// names the window.
void startSdl() {
    // sdl12-compat's OpenGL scaling redirects the window's frame buffer,
    // which breaks our own frame-buffer objects; classic SDL ignores this.
    setenv("SDL12COMPAT_OPENGL_SCALING", "0", 1);
    chooseSdlDrivers();
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) < 0)
        throw FatalError(std::string("Could not initialise SDL: ") + SDL_GetError());
    LOG_DEBUG("Application: SDL Initialised");
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    SDL_WM_SetCaption("Lumenfall", nullptr);
    LOG_DEBUG("Application: Window name set");
}

// The settings of the configuration file, when no words were given.
Application::Settings readConfigSettings(const ConfigLoader& config) {
    LOG_DEBUG("Application: Loading config settings from file.");
    Application::Settings settings;
    settings.windowWidth = config.width;
    settings.windowHeight = config.height;
    if (config.antialiasLevel >= 1)
        settings.antialiasLevel = config.antialiasLevel;
    settings.fullscreen = config.fullscreen;
    if (config.noSound)
        settings.noSound = true;
    if (config.noMusic)
        settings.noMusic = true;
    settings.audioApi = config.audioApi;
    settings.exhibit = config.exhibit;
    return settings;
}

// Stops the start with a message naming the places looked in when there is
// no data folder.
void checkDataFolder() {
    if (!FilePath::getDataFilesDir().isDirectory()) {
        std::string message = "Could not find the game's data folder; looked in:";
        for (const FilePath& candidate : FilePath::getDataFilesCandidates())
            message += " " + candidate.path;
        SDL_Quit();
        throw FatalError(message);
    }
}

// The drawer on the 1280 x 720 canvas, its window opened.
OpenGLDrawer* createDrawer(const Application::Settings& settings) {
    OpenGLDrawer* drawer = new OpenGLDrawer(1280, 720);
    LOG_DEBUG("Application: OpenGLDrawer created.");
    if (!drawer->initialise(static_cast<unsigned short>(settings.windowWidth),
                            static_cast<unsigned short>(settings.windowHeight), settings.fullscreen,
                            settings.antialiasLevel)) {
        std::string error = SDL_GetError();
        delete drawer;
        SDL_Quit();
        if (!OpenGLDrawer::displayHasOpenGL())
            throw FatalError("OpenGL is not available on this display: install your graphics driver's OpenGL "
                             "library (on Debian, libgl1-mesa-dri).");
        throw FatalError("Could not set video mode: " + error);
    }
    LOG_DEBUG("Application: OpenGLDrawer initialised.");
    return drawer;
}

// Every joystick, opened in device order.
std::vector<SDL_Joystick*> openJoysticks() {
    std::vector<SDL_Joystick*> joysticks;
    SDL_JoystickEventState(SDL_ENABLE);
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
        joysticks.push_back(SDL_JoystickOpen(i));
    return joysticks;
}

// The controls of an axis with a pair of directions: negative for values
// below 0, positive above; a centred axis reports both, negative first.
int pairedControls(float value, int negative, int positive, int controls[2]) {
    if (value < 0.0f) {
        controls[0] = negative;
        return 1;
    }
    if (value > 0.0f) {
        controls[0] = positive;
        return 1;
    }
    controls[0] = negative;
    controls[1] = positive;
    return 2;
}

} // namespace

void Application::printUsage() {
    std::cout << "\n"
                 "Lumenfall\n"
                 "\n"
                 "Usage:\n"
                 "Lumenfall -w [width] -h [height] -a [val] -win -ns -nm -aa [name]\n"
                 "\n"
                 "Flags:\n"
                 "--width [val] | -w [val]:\tSet the width of the window.\n"
                 "--height [val] | -h [val]:\tSet the height of the window.\n"
                 "--antialias [val] | -a [val]:\tSets the antialiasing level (2, 4, or 6).\n"
                 "--windowed | -win:\t\tSets whether to start the game in a window rather than fullscreen.\n"
                 "--nosound | -ns:\t\tSwitches off the sound output.\n"
                 "--nomusic | -nm:\t\tSwitches off the background music.\n"
                 "--audio-api [name] | -aa [name]:\t\tSets the audio API to use.  Can be DirectSound, ASIO, "
                 "MME, ALSA, JACK, OSS, CoreAudio.\n"
                 "--help:\t\t\t\tDisplay this help.\n";
    std::cout.flush();
}

void Application::answerQuestions(const std::vector<std::string>& words) {
    if (hasOption(words, "--help", nullptr)) {
        printUsage();
        throw FatalError("\n", 0);
    }
    if (hasOption(words, "--version", nullptr))
        throw FatalError(std::string("lumenfall ") + LUMENFALL_VERSION, 0);
}

Application::Settings Application::parseCommandLine(const std::vector<std::string>& words) {
    Settings settings;
    const size_t count = words.size();

    if (hasOption(words, "--help", nullptr)) {
        printUsage();
        throw FatalError("\n", 0);
    }

    // Each option has its own pass over all the words; an option that takes
    // a value consumes the next word, and the last occurrence wins.
    settings.windowWidth = readSizeOption(words, "--width", "-w", settings.windowWidth);
    if (settings.windowWidth == 0) {
        settings.windowWidth = ScreenResolution::getScreenWidth();
        Log::plain("Using default width = " + std::to_string(settings.windowWidth));
    }

    settings.windowHeight = readSizeOption(words, "--height", "-h", settings.windowHeight);
    if (settings.windowHeight == 0) {
        settings.windowHeight = ScreenResolution::getScreenHeight();
        Log::plain("Using default height = " + std::to_string(settings.windowHeight));
    }

    if (hasOption(words, "--windowed", "-win"))
        settings.fullscreen = false;
    if (hasOption(words, "--nosound", "-ns"))
        settings.noSound = true;
    if (hasOption(words, "--nomusic", "-nm"))
        settings.noMusic = true;
    if (hasOption(words, "--exhibit", "-ex"))
        settings.exhibit = true;

    for (size_t i = 0; i < count; ++i)
        if (isWord(words[i], "--audio-api", "-aa") && i + 1 < count)
            settings.audioApi = words[++i];

    bool antialiasGiven = false;
    for (size_t i = 0; i < count; ++i)
        if (isWord(words[i], "--antialias", "-a")) {
            antialiasGiven = true;
            if (i + 1 < count)
                readInteger(words[++i], settings.antialiasLevel);
        }
    if (antialiasGiven && settings.antialiasLevel <= 1) {
        settings.antialiasLevel = 2;
        Log::plain("Using 2x antialiasing.");
    }
    return settings;
}

Application::Application(const std::vector<std::string>& words)
    : quitRequested(false), lastTicks(0), windowWidth(0), windowHeight(0), noSound(false), noMusic(false),
      drawer(nullptr), currentState(nullptr), oldState(nullptr), stateChanging(false), audioRunning(false) {
    // Before the configuration file, whose first-run contents need the
    // desktop's size.
    checkDisplay();
    // The configuration folder and file are made on every start, even when
    // the command line decides the settings.
    ConfigLoader config;
    LOG_DEBUG("Application::Application()");
    initKeyManager();
    startSdl();
    Settings settings;
    try {
        settings = words.empty() ? readConfigSettings(config) : parseCommandLine(words);
    } catch (...) {
        SDL_Quit();
        throw;
    }
    noSound = settings.noSound;
    noMusic = settings.noMusic;
    if (settings.exhibit)
        exhibition.switchOn(getenv("LUMENFALL_EXHIBIT_SECONDS"));
    LOG_DEBUG("Application: Config settings loaded.");
    checkDataFolder();
    drawer = createDrawer(settings);
    // A full-screen start may have fallen back to a window.
    fullscreen = drawer->isFullScreen();
    rememberModeSizes(settings);
    currentState.store(new NoteScreen(this), std::memory_order_release);
    LOG_DEBUG("Application: NoteScreen created.");
    joysticks = openJoysticks();
    startAudio(settings.audioApi);
    SDL_ShowCursor(SDL_DISABLE);
    LOG_DEBUG("Application::Application() end");
}

void Application::rememberModeSizes(const Settings& settings) {
    // The mode that opened may differ from the one asked for.
    windowWidth = drawer->getScreenWidth();
    windowHeight = drawer->getScreenHeight();
    const int monitorWidth = ScreenResolution::getScreenWidth();
    const int monitorHeight = ScreenResolution::getScreenHeight();
    if (fullscreen) {
        fullscreenWidth = windowWidth;
        fullscreenHeight = windowHeight;
        // A window as large as the monitor would hide its frame off screen.
        if (settings.windowWidth < monitorWidth && settings.windowHeight < monitorHeight) {
            windowedWidth = settings.windowWidth;
            windowedHeight = settings.windowHeight;
        } else {
            windowedWidth = monitorWidth * 2 / 3;
            windowedHeight = monitorHeight * 2 / 3;
        }
    } else {
        windowedWidth = windowWidth;
        windowedHeight = windowHeight;
        fullscreenWidth = monitorWidth;
        fullscreenHeight = monitorHeight;
    }
}

void Application::toggleFullScreen() {
    const bool wanted = !fullscreen;
    const int width = wanted ? fullscreenWidth : windowedWidth;
    const int height = wanted ? fullscreenHeight : windowedHeight;
    if (!drawer->changeDisplayMode(static_cast<unsigned short>(width), static_cast<unsigned short>(height),
                                   wanted)) {
        Log::plain(std::string("Application: Could not switch ") +
                   (wanted ? "to full screen" : "to a window") + " (" + SDL_GetError() + ").");
        // Back to the mode that was open, so that there is a window to draw in.
        if (!drawer->changeDisplayMode(static_cast<unsigned short>(windowWidth),
                                       static_cast<unsigned short>(windowHeight), fullscreen))
            throw FatalError(std::string("Could not set video mode: ") + SDL_GetError());
        return;
    }
    fullscreen = wanted;
    windowWidth = drawer->getScreenWidth();
    windowHeight = drawer->getScreenHeight();
    LOG_DEBUG(std::string("Application: ") + (fullscreen ? "Full screen " : "Window ") +
              std::to_string(windowWidth) + " x " + std::to_string(windowHeight) + ".");
}

void Application::startAudio(const std::string& audioApi) {
    audioDevice.setCallback(this);
    audioDevice.setNumChannels(0, 2);
    audioDevice.setSamplerate(44100.0);
    audioDevice.setAPI(audioApi);
    if (!noSound) {
        // The effects decode their recordings here, on the main thread, so
        // that the first audio callbacks do no file work.
        Sounds::getInstance();
        audioRunning = audioDevice.start();
        if (audioRunning)
            LOG_DEBUG("Application: Audio started.");
        else
            Log::plain("Application: No audio output could be started; the game runs silent.");
    }
}

Application::~Application() {
    // Once stop has begun, the device no longer calls getAudio: it waits for
    // a block in progress and answers any later one with silence, even when
    // the stream itself cannot be stopped in time and is left running. So the
    // states and this object may go, whatever became of the stream.
    if (!noSound)
        audioDevice.stop();
    audioRunning = false;
    for (SDL_Joystick* joystick : joysticks)
        if (joystick)
            SDL_JoystickClose(joystick);
    delete drawer;
    delete currentState.load(std::memory_order_acquire);
    delete oldState;
    SDL_Quit();
}

void Application::initKeyManager() {
    keyManager.addKeypress("P1Up", KeyManager::KeyUp);
    keyManager.addKeypress("P1Left", KeyManager::KeyLeft);
    keyManager.addKeypress("P1Right", KeyManager::KeyRight);
    keyManager.addKeypress("P1Down", KeyManager::KeyDown);
    keyManager.addKeypress("Escape", KeyManager::KeyEscape);
    keyManager.addKeypress("Action", KeyManager::KeySpace);
}

void Application::loadGlyphs() {
    // The built-in glyph pictures, in the order of Drawer::Glyph; the
    // underscore keeps its placeholder.
    static const unsigned char* const pictures[] = {
        Fonts::fonta_png,       Fonts::fontb_png,        Fonts::fontc_png,    Fonts::fontd_png,
        Fonts::fonte_png,       Fonts::fontf_png,        Fonts::fontg_png,    Fonts::fonth_png,
        Fonts::fonti_png,       Fonts::fontj_png,        Fonts::fontk_png,    Fonts::fontl_png,
        Fonts::fontm_png,       Fonts::fontn_png,        Fonts::fonto_png,    Fonts::fontp_png,
        Fonts::fontq_png,       Fonts::fontr_png,        Fonts::fonts_png,    Fonts::fontt_png,
        Fonts::fontu_png,       Fonts::fontv_png,        Fonts::fontw_png,    Fonts::fontx_png,
        Fonts::fonty_png,       Fonts::fontz_png,        Fonts::font0_png,    Fonts::font1_png,
        Fonts::font2_png,       Fonts::font3_png,        Fonts::font4_png,    Fonts::font5_png,
        Fonts::font6_png,       Fonts::font7_png,        Fonts::font8_png,    Fonts::font9_png,
        Fonts::fontperiod_png,  Fonts::fontcomma_png,    Fonts::fontplus_png, Fonts::fontminus_png,
        Fonts::fontexclaim_png, Fonts::fontquestion_png, Fonts::fontcolon_png};
    static const unsigned int sizes[] = {
        Fonts::fonta_png_size,      Fonts::fontb_png_size,       Fonts::fontc_png_size,
        Fonts::fontd_png_size,      Fonts::fonte_png_size,       Fonts::fontf_png_size,
        Fonts::fontg_png_size,      Fonts::fonth_png_size,       Fonts::fonti_png_size,
        Fonts::fontj_png_size,      Fonts::fontk_png_size,       Fonts::fontl_png_size,
        Fonts::fontm_png_size,      Fonts::fontn_png_size,       Fonts::fonto_png_size,
        Fonts::fontp_png_size,      Fonts::fontq_png_size,       Fonts::fontr_png_size,
        Fonts::fonts_png_size,      Fonts::fontt_png_size,       Fonts::fontu_png_size,
        Fonts::fontv_png_size,      Fonts::fontw_png_size,       Fonts::fontx_png_size,
        Fonts::fonty_png_size,      Fonts::fontz_png_size,       Fonts::font0_png_size,
        Fonts::font1_png_size,      Fonts::font2_png_size,       Fonts::font3_png_size,
        Fonts::font4_png_size,      Fonts::font5_png_size,       Fonts::font6_png_size,
        Fonts::font7_png_size,      Fonts::font8_png_size,       Fonts::font9_png_size,
        Fonts::fontperiod_png_size, Fonts::fontcomma_png_size,   Fonts::fontplus_png_size,
        Fonts::fontminus_png_size,  Fonts::fontexclaim_png_size, Fonts::fontquestion_png_size,
        Fonts::fontcolon_png_size};
    static_assert(sizeof(pictures) / sizeof(pictures[0]) == Drawer::GlyphUnderscore, "one picture per glyph");
    loadGlyphs(drawer, pictures, sizes, Drawer::GlyphUnderscore);
}

void Application::loadGlyphs(Drawer* target, const unsigned char* const* pictures, const unsigned int* sizes,
                             int count) {
    ImageLoader loader;
    for (int glyph = 0; glyph < count; ++glyph) {
        ImageData image = loader.loadImage(reinterpret_cast<const char*>(pictures[glyph]), sizes[glyph]);
        target->loadGlyph(static_cast<Drawer::Glyph>(glyph), image.pixels, image.width);
    }
}

Uint32 Application::pacingDelay(Uint32 elapsed) {
    return elapsed <= 29 ? 30 - elapsed : 0;
}

int Application::scaleToCanvas(int pixel, int windowSize, int canvasSize) {
    if (windowSize <= 0)
        return pixel;
    return static_cast<int>(static_cast<float>(canvasSize) *
                            (static_cast<float>(pixel) / static_cast<float>(windowSize)));
}

int Application::axisControls(int axis, float value, int controls[2]) {
    // Controls: 0 Up, 1 Right, 2 Down, 3 Left, 4 Trigger1, 5 Trigger2, 6 Up2,
    // 7 Right2, 8 Down2, 9 Left2. A centred first stick or trigger reports
    // both of its controls, which a state can take as the release of both.
    switch (axis) {
    case 0:
        return pairedControls(value, 3, 1, controls);
    case 1:
        controls[0] = value < 0.0f ? 0 : 2;
        return 1;
    case 2:
        return pairedControls(value, 5, 4, controls);
    case 3:
        controls[0] = value < 0.0f ? 9 : 7;
        return 1;
    case 4:
        controls[0] = value < 0.0f ? 6 : 8;
        return 1;
    default:
        controls[0] = 0;
        return 1;
    }
}

void Application::watchAudio() {
    if (!audioRunning || audioDevice.isStreamAlive())
        return;
    audioRunning = false;
    Log::plain("Application: The audio output stopped; the game runs silent.");
    // No callback runs any more, so none can still hold the old state of a
    // pending switch, and none would ever acknowledge it.
    stateChanging.store(false, std::memory_order_release);
}

void Application::deleteAcknowledgedOldState() {
    if (oldState && !stateChanging.load(std::memory_order_acquire)) {
        // A play state's deletion joins its streaming thread, which sleeps
        // 62 ms between refills: an exhibition's log shows what it costs.
        const bool timed = exhibition.isOn() && oldState->getName() == "GamePlay";
        const Uint32 started = SDL_GetTicks();
        delete oldState;
        oldState = nullptr;
        if (timed)
            LOG_DEBUG("Application: the old GamePlay was deleted in " +
                      std::to_string(SDL_GetTicks() - started) + " ms");
    }
}

void Application::eventLoop() {
    loadGlyphs();
    for (;;) {
        watchAudio();
        deleteAcknowledgedOldState();

        SDL_Event event;
        while (SDL_PollEvent(&event))
            dispatchEvent(event);
        if (exhibition.escapeHeld(SDL_GetTicks())) {
            Log::plain("Exhibition: Escape held for 3 s; quitting.");
            quitRequested = true;
        }
        if (quitSignalled)
            quitRequested = true;
        if (quitRequested)
            return;

        Uint32 now = SDL_GetTicks();
        Uint32 elapsed = now - lastTicks;
        lastTicks = now;
        Uint32 delay = pacingDelay(elapsed);
        if (delay > 0)
            SDL_Delay(delay);

        drawer->beginDrawing();
        if (GameState* state = getCurrentState())
            state->draw(drawer);
        drawer->endDrawing();
    }
}

void Application::dispatchEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN:
        keyDown(event.key.keysym);
        break;
    case SDL_KEYUP:
        keyUp(event.key.keysym);
        break;
    case SDL_MOUSEMOTION:
        mouseMove(event.motion.x, event.motion.y);
        break;
    case SDL_MOUSEBUTTONDOWN:
        mouseDown(event.button.button, event.button.x, event.button.y);
        break;
    case SDL_MOUSEBUTTONUP:
        mouseUp(event.button.button, event.button.x, event.button.y);
        break;
    case SDL_JOYAXISMOTION:
        joyMove(event.jaxis.which, event.jaxis.axis,
                static_cast<float>(event.jaxis.value) * 3.0517578125e-05f);
        break;
    case SDL_JOYBUTTONDOWN:
        joyDown(event.jbutton.which, event.jbutton.button);
        break;
    case SDL_JOYBUTTONUP:
        joyUp(event.jbutton.which, event.jbutton.button);
        break;
    case SDL_QUIT:
        quitRequested = true;
        break;
    default:
        break;
    }
}

void Application::quit() {
    quitRequested = true;
}

void Application::nextState(std::string newState, std::string info) {
    (void)info; // carried along for the states; nothing interprets it
    LOG_DEBUG("Application::nextState() newState = ");
    LOG_DEBUG(newState);

    if (oldState) {
        // At most one old state is pending: wait for the audio side to let go of it.
        // Should the audio output die meanwhile, the wait ends too.
        while (audioRunning && stateChanging.load(std::memory_order_acquire)) {
            SDL_Delay(1);
            watchAudio();
        }
        delete oldState;
        oldState = nullptr;
    }

    GameState* created = nullptr;
    if (newState == "GamePlay") {
        // Each cycle of an exhibition starts as the first one did.
        if (exhibition.isOn())
            GamePlay::prepareNewCycle();
        created = new GamePlay(this);
        if (exhibition.isOn())
            exhibition.beginCycle();
    } else if (newState == "NoteScreen")
        created = new NoteScreen(this);
    else
        return;
    // Only once the new state exists: should its construction throw, the
    // current state stays the only one held, and is deleted once.
    oldState = getCurrentState();
    currentState.store(created, std::memory_order_release);
    // Without audio callbacks nobody else can hold the old state: the switch
    // counts as acknowledged at once.
    stateChanging.store(audioRunning, std::memory_order_release);
    LOG_DEBUG("Application::nextState() " + newState + " created.");
}

void Application::returnToNoteScreen(const std::string& cause) {
    char text[200];
    std::snprintf(text, sizeof(text),
                  "Exhibition: cycle %d ends (%s); back to the note screen. Live textures %zu.",
                  exhibition.getCycle(), cause.c_str(), drawer ? drawer->getLiveTextures() : 0);
    Log::plain(text);
    nextState("NoteScreen", "");
}

void Application::keyDown(const SDL_keysym& key) {
    // F11 switches the display and then counts as any other key: on the note
    // screen it leads on. Not in an exhibition, where a window would show
    // the desktop around it.
    if (key.sym == SDLK_F11 && !exhibition.isOn())
        toggleFullScreen();
    if (key.sym == SDLK_ESCAPE && exhibition.isOn())
        exhibition.escapeDown(SDL_GetTicks());
    if (GameState* state = getCurrentState())
        state->keyDown(keyManager.getAction(key), key);
}

void Application::keyUp(const SDL_keysym& key) {
    if (key.sym == SDLK_ESCAPE)
        exhibition.escapeUp();
    if (GameState* state = getCurrentState())
        state->keyUp(keyManager.getAction(key), key);
}

void Application::mouseMove(int x, int y) {
    if (GameState* state = getCurrentState())
        state->mouseMove(scaleToCanvas(x, windowWidth, drawer->getCanvasWidth()),
                         scaleToCanvas(y, windowHeight, drawer->getCanvasHeight()));
}

void Application::mouseDown(int button, int x, int y) {
    GameState* state = getCurrentState();
    if (!state)
        return;
    if (button == SDL_BUTTON_WHEELUP)
        state->mouseWheel(false);
    else if (button == SDL_BUTTON_WHEELDOWN)
        state->mouseWheel(true);
    else
        state->mouseDown(button, scaleToCanvas(x, windowWidth, drawer->getCanvasWidth()),
                         scaleToCanvas(y, windowHeight, drawer->getCanvasHeight()));
}

void Application::mouseUp(int button, int x, int y) {
    if (GameState* state = getCurrentState())
        state->mouseUp(button, scaleToCanvas(x, windowWidth, drawer->getCanvasWidth()),
                       scaleToCanvas(y, windowHeight, drawer->getCanvasHeight()));
}

void Application::joyMove(int joystick, int axis, float value) {
    GameState* state = getCurrentState();
    if (!state)
        return;
    int controls[2];
    int count = axisControls(axis, value, controls);
    float magnitude = value < 0.0f ? -value : value;
    for (int i = 0; i < count; ++i)
        state->joyMove(keyManager.getAction(joystick, controls[i]), magnitude, joystick, controls[i]);
}

void Application::joyDown(int joystick, int button) {
    if (GameState* state = getCurrentState()) {
        // A joystick button carries no key: states get an all-zero record.
        SDL_keysym none = SDL_keysym();
        state->keyDown(keyManager.getAction(joystick, button + 4), none);
    }
}

void Application::joyUp(int joystick, int button) {
    if (GameState* state = getCurrentState()) {
        SDL_keysym none = SDL_keysym();
        state->keyUp(keyManager.getAction(joystick, button + 4), none);
    }
}

void Application::getAudio(float*, float* output, int frames) {
    for (int i = 0; i < frames * 2; ++i)
        output[i] = 0.0f;
    Sounds::getInstance()->getAudio(output, frames);
    if (GameState* state = currentState.load(std::memory_order_acquire))
        state->getAudio(output, frames);
    // Cleared last: from here on no callback uses the state that was current
    // before the switch.
    stateChanging.store(false, std::memory_order_release);
}
