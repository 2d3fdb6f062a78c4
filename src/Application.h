#pragma once

// The program's entry: builds the application from the command-line words,
// runs its event loop and returns the exit status.
int SDL_main(int argc, char** argv);
