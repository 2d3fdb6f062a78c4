#pragma once

#include <SDL.h>
#include <map>
#include <string>

// Turns keys and joystick controls into named actions such as "P1Up".
// Main thread only.
class KeyManager {
public:
    // Every nameable input; joystick j control k is JoystickBase + 20 * j + k.
    enum KeyPress {
        NoKey = 0,
        KeyA = 1,  // letters a..z are 1..26
        Key0 = 27, // digits 0..9 are 27..36
        KeyTab = 37,
        KeyShift,
        KeyCtrl,
        KeyAlt,
        KeySpace,
        KeyReturn,
        KeyUp,
        KeyLeft,
        KeyRight,
        KeyDown,
        KeyHome,
        KeyEnd,
        KeyPageUp,
        KeyPageDown,
        KeyPad0 = 51, // keypad digits 0..9 are 51..60
        KeyMinus = 61,
        KeyEquals,
        KeyBackspace,
        KeyDelete,
        KeyEscape,
        KeyComma,
        KeyPeriod,
        JoystickBase = 68, // four joysticks of 20 controls: 68..147
        NumKeyPresses = 148
    };

    KeyManager();

    // Binds key to action unless the key already has an entry: the first binding wins.
    void addKeypress(const std::string& action, KeyPress key);
    // The action bound to the key's symbol (modifiers ignored); an unbound
    // input gets an empty entry and gives the empty string.
    std::string getAction(const SDL_keysym& key);
    // Joystick 0..3 with control 0..19; any other joystick reads joystick 0 Button1.
    std::string getAction(int joystick, int control);

    static KeyPress translate(SDLKey sym);

private:
    std::string lookUp(KeyPress key);

    std::map<KeyPress, std::string> bindings;
};
