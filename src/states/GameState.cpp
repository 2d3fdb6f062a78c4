#include "GameState.h"

#include "Application.h"

GameState::GameState(Application* application) : application(application) {}

GameState::~GameState() {}

void GameState::getAudio(float*, int) {}

void GameState::keyDown(const std::string&, const SDL_keysym&) {}

void GameState::keyUp(const std::string&, const SDL_keysym&) {}

void GameState::mouseDown(int, int, int) {}

void GameState::mouseUp(int, int, int) {}

void GameState::mouseMove(int, int) {}

void GameState::mouseWheel(bool) {}

void GameState::joyMove(const std::string&, float, int, int) {}

void GameState::quit() {
    application->quit();
}

void GameState::nextState(const std::string& newState, const std::string& info) {
    application->nextState(newState, info);
}
