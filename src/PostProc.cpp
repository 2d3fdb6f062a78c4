#include "PostProc.h"

#include "Drawer.h"
#include "Random.h"

unsigned int PostProc::shader = 0;
unsigned int PostProc::images[4] = {0, 0, 0, 0};
std::vector<unsigned int> PostProc::featherImages;

void PostProc::finishFrame(Drawer* drawer, int& noiseIndex, int& noiseCountdown) {
    drawer->endFrameBufferDrawing();
    if (--noiseCountdown < 0) {
        noiseCountdown = 5;
        int next = noiseIndex;
        while (next == noiseIndex)
            next = static_cast<int>((Random::next() + 1.0f) * 0.5f * 3.99f);
        noiseIndex = next;
    }
    drawer->useSecondImage(images[noiseIndex]);
    drawer->useShader(shader, 0.0f);
    if (unsigned int frame = drawer->getFrameBufferImage())
        drawer->drawImage(frame, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    drawer->useShader(0, 0.0f);
    drawer->useSecondImage(0);
}
