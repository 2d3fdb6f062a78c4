#include "RecordingDrawer.h"

#include <algorithm>
#include <cstring>

std::vector<RecordingDrawer::Call> RecordingDrawer::named(const std::string& name) const {
    std::vector<Call> result;
    for (const Call& call : calls)
        if (call.name == name)
            result.push_back(call);
    return result;
}

int RecordingDrawer::count(const std::string& name) const {
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [&](const Call& call) { return call.name == name; }));
}

std::vector<std::string> RecordingDrawer::names() const {
    std::vector<std::string> result;
    for (const Call& call : calls)
        result.push_back(call.name);
    return result;
}

void RecordingDrawer::record(const std::string& name, std::vector<double> numbers,
                             std::vector<std::string> texts) const {
    calls.push_back(Call{name, std::move(numbers), std::move(texts)});
}

bool RecordingDrawer::initialise(unsigned short width, unsigned short height, bool fullscreen,
                                 int antialias) {
    record("initialise", {double(width), double(height), double(fullscreen), double(antialias)});
    return initialiseResult;
}

void RecordingDrawer::initialiseLight(unsigned short width, unsigned short height) {
    record("initialiseLight", {double(width), double(height)});
}

unsigned int RecordingDrawer::loadImage(unsigned char* pixels, unsigned int width, unsigned int height) {
    record("loadImage", {double(width), double(height)});
    if (!pixels)
        return 0;
    delete[] pixels;
    return nextImage++;
}

void RecordingDrawer::releaseImage(unsigned int image) {
    record("releaseImage", {double(image)});
}

unsigned int RecordingDrawer::loadPoly(float* points, int count) {
    std::vector<double> numbers = {double(count)};
    for (int i = 0; i < count * 2; ++i)
        numbers.push_back(points[i]);
    record("loadPoly", numbers);
    return nextPoly++;
}

unsigned int RecordingDrawer::loadShader(const std::string& vertexFile, const std::string& fragmentFile) {
    record("loadShader", {}, {vertexFile, fragmentFile});
    return shadersFail ? 0 : nextShader++;
}

bool RecordingDrawer::getShadersAreSupported() const {
    record("getShadersAreSupported");
    return supportsShaders;
}

unsigned int RecordingDrawer::loadFont(const std::string& name, float size) {
    record("loadFont", {size}, {name});
    return nextFont++;
}

void RecordingDrawer::beginDrawing() {
    record("beginDrawing");
}

void RecordingDrawer::endDrawing() {
    record("endDrawing");
}

unsigned char* RecordingDrawer::getScreenPixels() {
    record("getScreenPixels");
    size_t size = size_t(std::max<short>(actualWidth, 0)) * size_t(std::max<short>(actualHeight, 0)) * 3;
    unsigned char* pixels = new unsigned char[size];
    std::memset(pixels, 0, size);
    return pixels;
}

void RecordingDrawer::useShader(unsigned int program, float param) {
    record("useShader", {double(program), param});
}

void RecordingDrawer::useSecondImage(unsigned int image) {
    record("useSecondImage", {double(image)});
}

void RecordingDrawer::setBlendMode(BlendMode mode) {
    record("setBlendMode", {double(mode)});
}

void RecordingDrawer::drawImage(unsigned int image, float x, float y, float scaleX, float scaleY, float r,
                                float g, float b, float a) {
    record("drawImage", {double(image), x, y, scaleX, scaleY, r, g, b, a});
}

void RecordingDrawer::drawImageRot(unsigned int image, float x, float y, float angle, float pivotX,
                                   float pivotY, float scaleX, float scaleY, float r, float g, float b,
                                   float a) {
    record("drawImageRot", {double(image), x, y, angle, pivotX, pivotY, scaleX, scaleY, r, g, b, a});
}

void RecordingDrawer::drawSubImage(unsigned int image, float x, float y, float sourceX, float sourceY,
                                   float sourceWidth, float sourceHeight, float scaleX, float scaleY, float r,
                                   float g, float b, float a) {
    record("drawSubImage",
           {double(image), x, y, sourceX, sourceY, sourceWidth, sourceHeight, scaleX, scaleY, r, g, b, a});
}

void RecordingDrawer::drawPoly(unsigned int polygon, unsigned int image, float x, float y, float scaleX,
                               float scaleY, float r, float g, float b, float a) {
    record("drawPoly", {double(polygon), double(image), x, y, scaleX, scaleY, r, g, b, a});
}

void RecordingDrawer::drawText(const std::string& text, float x, float y, float size, float r, float g,
                               float b, float a) {
    record("drawText", {x, y, size, r, g, b, a}, {text});
}

void RecordingDrawer::drawText(const std::string& text, unsigned int font, float x, float y, float wrapWidth,
                               float scale, float r, float g, float b, float a) {
    record("drawFontText", {double(font), x, y, wrapWidth, scale, r, g, b, a}, {text});
}

void RecordingDrawer::drawLine(float x1, float y1, float x2, float y2, float r, float g, float b, float a) {
    record("drawLine", {x1, y1, x2, y2, r, g, b, a});
}

void RecordingDrawer::fillRect(float x, float y, float width, float height, unsigned char r, unsigned char g,
                               unsigned char b, unsigned char a) {
    record("fillRect", {x, y, width, height, double(r), double(g), double(b), double(a)});
}

void RecordingDrawer::fillGradient(float x, float y, float width, float height, unsigned char r1,
                                   unsigned char g1, unsigned char b1, unsigned char a1, unsigned char r2,
                                   unsigned char g2, unsigned char b2, unsigned char a2) {
    record("fillGradient", {x, y, width, height, double(r1), double(g1), double(b1), double(a1), double(r2),
                            double(g2), double(b2), double(a2)});
}

void RecordingDrawer::translate(float x, float y) {
    record("translate", {x, y});
}

void RecordingDrawer::setViewport(short x, short y, short width, short height) {
    record("setViewport", {double(x), double(y), double(width), double(height)});
}

void RecordingDrawer::resetViewport() {
    record("resetViewport");
}

short RecordingDrawer::getActualWidth() const {
    record("getActualWidth");
    return actualWidth;
}

short RecordingDrawer::getActualHeight() const {
    record("getActualHeight");
    return actualHeight;
}

short RecordingDrawer::getViewportOffsetX() const {
    record("getViewportOffsetX");
    return viewportOffsetX;
}

short RecordingDrawer::getViewportOffsetY() const {
    record("getViewportOffsetY");
    return viewportOffsetY;
}

void RecordingDrawer::startFrameBufferDrawing() {
    record("startFrameBufferDrawing");
}

void RecordingDrawer::endFrameBufferDrawing() {
    record("endFrameBufferDrawing");
}

unsigned int RecordingDrawer::getFrameBufferImage() const {
    record("getFrameBufferImage");
    return frameBufferImage;
}

bool RecordingDrawer::canSupport(GraphicsCapabilities capability) const {
    record("canSupport", {double(capability)});
    return capability == Shaders ? supportsShaders : supportsFrameBuffer;
}

void RecordingDrawer::loadGlyph(Glyph glyph, unsigned char* pixels, unsigned int size) {
    record("loadGlyph", {double(glyph), double(size)});
    delete[] pixels;
}
