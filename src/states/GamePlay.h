#pragma once

#include "ExhibitionClock.h"
#include "GameState.h"
#include "GhostImage.h"
#include "GlitchImage.h"
#include "GlitchText.h"
#include "LumenfallStrings.h"
#include "StreamingSound.h"

// The play state: a 12 x 8 grid of glitching news pictures over a dark scene.
// Typing the letters of three words raises their levels; each level clears
// one region of the grid and quietens one group of recordings, and when the
// three together pass 2.7 the finale turns the sky red.
class GamePlay : public GameState {
public:
    static const int Columns = 12;
    static const int Rows = 8;
    static const int NumImages = Columns * Rows;
    static const int NumGhosts = 8;

    explicit GamePlay(Application* application);
    ~GamePlay() override;

    void draw(Drawer* drawer) override;
    // Audio thread: the streamed recordings, then the strings excited by them.
    void getAudio(float* buffer, int frames) override;
    void keyDown(const std::string& action, const SDL_keysym& key) override;
    std::string getName() const override { return "GamePlay"; }

    // Reshuffles the order in which the grid entries are drawn.
    void mixUpIndices();

    float getLevel(int word) const { return levels[word]; }
    float getRate(int word) const { return rates[word]; }
    int getWordPosition(int word) const { return wordPositions[word]; }
    float getFinale() const { return finale; }
    float getGhostAlpha() const { return ghostAlpha; }
    float getStringLevel() const { return stringLevel; }
    float getSunPhase() const { return sunPhase; }
    const int* getIndices() const { return indices; }
    const StreamingSound& getStreamingSound() const { return streamingSound; }
    const GlitchImage& getGlitchImage(int entry) const { return glitchImages[entry]; }
    // For tests: puts the word levels where a test needs them.
    void setLevel(int word, float level) { levels[word] = level; }

    static unsigned int titleImage;
    static unsigned int ritualsImage;
    static unsigned int lumenfallBackImage;
    static unsigned int lumenfallSunImage;
    static unsigned int lumenfallLinesImage;
    // Forgets the class-wide pictures so a test can start a fresh run.
    static void resetResources();
    // Before each play state of an exhibition: what the class-wide state
    // keeps from the previous cycle and the new one must not see (the grid's
    // loading stagger). Loads and forgets no picture.
    static void prepareNewCycle();

private:
    // The pictures above are loaded on the first play frame of the run, once,
    // whatever handles the drawer gave for them.
    static bool resourcesLoaded;

    void loadResources(Drawer* drawer);
    void updateLevels();
    // Log lines for each completed word and every 100th frame.
    void logProgress();
    // Each region of the grid takes the level of its word.
    void hideGrid();
    // The portrait's pulse one frame on; returns the sine of its phase.
    float advanceSun();
    // The strings' level and the ghosts' opacity from the level sum and the pulse.
    void updateStringsAndGhosts(float s);
    // Background, portrait, scan lines, ghosts, grid and text, back to front.
    void drawScene(Drawer* drawer, float sunScale);
    // Exhibition mode: the first frame's line, and the return to the note
    // screen once the clock says it is due.
    void logCycleStart() const;
    void returnWhenDue();
    // The longer of the two final recordings, in ms.
    static Uint32 finalRecordingsMs();

    GlitchText titleText;
    GlitchText ritualsText;
    GlitchImage glitchImages[NumImages]; // row-major: row * Columns + column
    int indices[NumImages];              // draw order of the grid entries
    GhostImage ghosts[NumGhosts];
    float ghostAlpha;
    int mixCountdown;   // frames until the draw order is reshuffled
    int noiseIndex;     // noise picture of the post-processing pass, 0..3
    int noiseCountdown; // frames until the noise picture changes
    float sunPhase;     // radians; the portrait's pulse
    int ritualsDelay;   // frames before the rituals line first shows
    float levels[3];    // "hack", "scandal", "paedophile": 0..1
    float rates[3];     // per-frame change of each level
    std::string words[3];
    int wordPositions[3]; // next expected letter of each word
    float finale;         // 0..1 over 200 frames
    float stringLevel;    // last level handed to the strings
    int framesDrawn;      // play frames so far, for the progress lines in the log
    bool wordLogged[3];   // the word's completion has been logged
    StreamingSound streamingSound;
    LumenfallStrings strings;
    bool firstFrame;
    bool usePostProcessing;
    bool playMusic;                  // false with the no-music setting: no streamed recordings
    bool exhibition;                 // the application runs in exhibition mode
    ExhibitionClock exhibitionClock; // used only in exhibition mode
    bool returnRequested;            // the note screen has been asked for
};
