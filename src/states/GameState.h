#pragma once

#include <SDL.h>
#include <string>

class Application;
class Drawer;

// One screen of the game. The Application dispatches input to the current
// state on the main thread and calls getAudio on the audio thread.
class GameState {
public:
    explicit GameState(Application* application);
    virtual ~GameState();

    // Draws one frame on the canvas.
    virtual void draw(Drawer* drawer) = 0;
    // Audio thread: adds the state's sound to the interleaved stereo block.
    virtual void getAudio(float* output, int frames);
    // action: the bound action name, possibly empty.
    virtual void keyDown(const std::string& action, const SDL_keysym& key);
    virtual void keyUp(const std::string& action, const SDL_keysym& key);
    // Canvas coordinates.
    virtual void mouseDown(int button, int x, int y);
    virtual void mouseUp(int button, int x, int y);
    virtual void mouseMove(int x, int y);
    // down: false for up, true for down.
    virtual void mouseWheel(bool down);
    virtual void joyMove(const std::string& action, float magnitude, int joystick, int control);
    virtual std::string getName() const = 0;

protected:
    // Ends the event loop after the events of the current pass.
    void quit();
    // Asks the application to switch to the state named newState.
    void nextState(const std::string& newState, const std::string& info);

    Application* application; // not owned
};
