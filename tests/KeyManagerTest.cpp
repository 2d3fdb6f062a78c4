#include "KeyManager.h"

#include <gtest/gtest.h>

namespace {

SDL_keysym keyOf(SDLKey sym, SDLMod mod = KMOD_NONE) {
    SDL_keysym key = SDL_keysym();
    key.sym = sym;
    key.mod = mod;
    return key;
}

} // namespace

TEST(KeyManager, TranslatesTheKeyTable) {
    EXPECT_EQ(KeyManager::translate(SDLK_a), 1);
    EXPECT_EQ(KeyManager::translate(SDLK_z), 26);
    EXPECT_EQ(KeyManager::translate(SDLK_0), 27);
    EXPECT_EQ(KeyManager::translate(SDLK_9), 36);
    EXPECT_EQ(KeyManager::translate(SDLK_TAB), 37);
    EXPECT_EQ(KeyManager::translate(SDLK_RSHIFT), 38);
    EXPECT_EQ(KeyManager::translate(SDLK_SPACE), 41);
    EXPECT_EQ(KeyManager::translate(SDLK_UP), 43);
    EXPECT_EQ(KeyManager::translate(SDLK_DOWN), 46);
    EXPECT_EQ(KeyManager::translate(SDLK_PAGEDOWN), 50);
    EXPECT_EQ(KeyManager::translate(SDLK_KP0), 51);
    EXPECT_EQ(KeyManager::translate(SDLK_KP9), 60);
    EXPECT_EQ(KeyManager::translate(SDLK_DELETE), 64);
    EXPECT_EQ(KeyManager::translate(SDLK_ESCAPE), 65);
    EXPECT_EQ(KeyManager::translate(SDLK_PERIOD), 67);
    EXPECT_EQ(KeyManager::translate(SDLK_F1), 0);
    EXPECT_EQ(KeyManager::translate(SDLK_SLASH), 0);
    EXPECT_EQ(KeyManager::translate(SDLK_KP_ENTER), 0);
}

TEST(KeyManager, FirstBindingOfAKeyWins) {
    KeyManager keys;
    keys.addKeypress("Escape", KeyManager::KeyEscape);
    keys.addKeypress("Action", KeyManager::KeyEscape);
    EXPECT_EQ(keys.getAction(keyOf(SDLK_ESCAPE)), "Escape");
    // Modifiers are not looked at.
    EXPECT_EQ(keys.getAction(keyOf(SDLK_ESCAPE, KMOD_LSHIFT)), "Escape");
}

TEST(KeyManager, UnboundLookUpLeavesAnEmptyEntryThatBlocksLaterBindings) {
    KeyManager keys;
    EXPECT_EQ(keys.getAction(keyOf(SDLK_q)), "");
    keys.addKeypress("Quit", static_cast<KeyManager::KeyPress>(17));
    EXPECT_EQ(keys.getAction(keyOf(SDLK_q)), "");
    keys.addKeypress("Shift", KeyManager::KeyShift);
    EXPECT_EQ(keys.getAction(keyOf(SDLK_LSHIFT)), "Shift");
    EXPECT_EQ(keys.getAction(keyOf(SDLK_RSHIFT)), "Shift");
    // A key outside the table reads whatever is bound to "no key".
    keys.addKeypress("Nothing", KeyManager::NoKey);
    EXPECT_EQ(keys.getAction(keyOf(SDLK_F1)), "Nothing");
}

TEST(KeyManager, JoystickControlsMapToTheirBlocks) {
    KeyManager keys;
    keys.addKeypress("Down1", static_cast<KeyManager::KeyPress>(90));
    keys.addKeypress("Button1", static_cast<KeyManager::KeyPress>(78));
    keys.addKeypress("Last", static_cast<KeyManager::KeyPress>(147));
    EXPECT_EQ(keys.getAction(1, 2), "Down1");
    EXPECT_EQ(keys.getAction(0, 10), "Button1");
    EXPECT_EQ(keys.getAction(3, 19), "Last");
    // Joysticks beyond the fourth all read joystick 0 Button1.
    EXPECT_EQ(keys.getAction(4, 0), "Button1");
    EXPECT_EQ(keys.getAction(9, 7), "Button1");
    EXPECT_EQ(keys.getAction(0, 0), "");
}
