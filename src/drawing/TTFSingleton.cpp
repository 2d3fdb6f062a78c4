#include "TTFSingleton.h"

#include <SDL/SDL_ttf.h>
#include <cstdio>

TTFSingleton* TTFSingleton::getInstance() {
    // A function-local static is built once even when two threads race to it.
    static TTFSingleton instance;
    return &instance;
}

TTFSingleton::TTFSingleton() {
    if (TTF_Init() == -1) {
        // Font loads fail later at TTF_OpenFont; the game draws no fonts itself.
        std::fputs("OpenGLFont: Could not initialise SDL_ttf.", stdout);
        std::fflush(stdout);
    }
}

TTFSingleton::~TTFSingleton() {
    TTF_Quit();
}
