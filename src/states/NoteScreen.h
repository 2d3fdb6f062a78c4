#pragma once

#include "GameState.h"

// The opening screen: a dark mirrored background and a note to turn the sound
// up, run through the noise pass. Leads on to the play state after 320
// frames or at the first key.
class NoteScreen : public GameState {
public:
    explicit NoteScreen(Application* application);

    void draw(Drawer* drawer) override;
    void keyDown(const std::string& action, const SDL_keysym& key) override;
    std::string getName() const override { return "NoteScreen"; }

    int getNoiseIndex() const { return noiseIndex; }
    // Forgets the loaded resources so a test can start a fresh run.
    static void resetResources();

    static unsigned int background; // mirrored backdrop
    static unsigned int text;       // the note

private:
    void loadResources(Drawer* drawer);

    int framesLeft;     // frames before the automatic hand-over
    int noiseIndex;     // noise picture of the post-processing pass, 0..3
    int noiseCountdown; // frames until the noise picture changes
    bool firstFrame;    // the capability test has not run yet
    bool usePostProcessing;

    static bool resourcesLoaded;
};
