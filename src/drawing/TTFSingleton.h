#pragma once

// Starts SDL_ttf once, on first use, and stops it at program exit.
class TTFSingleton {
public:
    static TTFSingleton* getInstance();

    TTFSingleton(const TTFSingleton&) = delete;
    TTFSingleton& operator=(const TTFSingleton&) = delete;

private:
    TTFSingleton();
    ~TTFSingleton();
};
