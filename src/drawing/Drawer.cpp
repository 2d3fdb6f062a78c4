#include "Drawer.h"

Drawer::~Drawer() {}

unsigned int Drawer::loadShader(const std::string&, const std::string&) {
    return 0;
}

bool Drawer::getShadersAreSupported() const {
    return false;
}

void Drawer::useShader(unsigned int, float) {}

void Drawer::useSecondImage(unsigned int) {}

void Drawer::setBlendMode(BlendMode) {}

void Drawer::startFrameBufferDrawing() {}

void Drawer::endFrameBufferDrawing() {}

unsigned int Drawer::getFrameBufferImage() const {
    return 0;
}

bool Drawer::canSupport(GraphicsCapabilities) const {
    return false;
}
