#include "KeyManager.h"

KeyManager::KeyManager() {}

void KeyManager::addKeypress(const std::string& action, KeyPress key) {
    bindings.insert(std::make_pair(key, action));
}

std::string KeyManager::lookUp(KeyPress key) {
    // operator[] leaves an empty entry for an unbound input, which then
    // keeps any later binding of the same input from taking effect.
    return bindings[key];
}

std::string KeyManager::getAction(const SDL_keysym& key) {
    return lookUp(translate(key.sym));
}

std::string KeyManager::getAction(int joystick, int control) {
    int value = JoystickBase + 10; // joystick 0, Button1
    if (joystick >= 0 && joystick <= 3)
        value = JoystickBase + 20 * joystick + control;
    return lookUp(static_cast<KeyPress>(value));
}

KeyManager::KeyPress KeyManager::translate(SDLKey sym) {
    if (sym >= SDLK_a && sym <= SDLK_z)
        return static_cast<KeyPress>(KeyA + (sym - SDLK_a));
    if (sym >= SDLK_0 && sym <= SDLK_9)
        return static_cast<KeyPress>(Key0 + (sym - SDLK_0));
    if (sym >= SDLK_KP0 && sym <= SDLK_KP9)
        return static_cast<KeyPress>(KeyPad0 + (sym - SDLK_KP0));
    switch (sym) {
    case SDLK_TAB:
        return KeyTab;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return KeyShift;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return KeyCtrl;
    case SDLK_LALT:
    case SDLK_RALT:
        return KeyAlt;
    case SDLK_SPACE:
        return KeySpace;
    case SDLK_RETURN:
        return KeyReturn;
    case SDLK_UP:
        return KeyUp;
    case SDLK_LEFT:
        return KeyLeft;
    case SDLK_RIGHT:
        return KeyRight;
    case SDLK_DOWN:
        return KeyDown;
    case SDLK_HOME:
        return KeyHome;
    case SDLK_END:
        return KeyEnd;
    case SDLK_PAGEUP:
        return KeyPageUp;
    case SDLK_PAGEDOWN:
        return KeyPageDown;
    case SDLK_MINUS:
        return KeyMinus;
    case SDLK_EQUALS:
        return KeyEquals;
    case SDLK_BACKSPACE:
        return KeyBackspace;
    case SDLK_DELETE:
        return KeyDelete;
    case SDLK_ESCAPE:
        return KeyEscape;
    case SDLK_COMMA:
        return KeyComma;
    case SDLK_PERIOD:
        return KeyPeriod;
    default:
        return NoKey;
    }
}
