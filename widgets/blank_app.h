// TZAVglutWigits_BlankApp: a Master bound to an existing GLUT window. Its static callbacks look
// up the Master of the current GLUT window and hand it the input; every failure inside them goes
// to the fatal hook under the callback's name.
#pragma once

#include <cstdint>

#include "widgets/master.h"

class TZAVglutWigits_BlankApp : public TZAVglutWigits_Master
{
public:
    // Takes the window's current size and registers the callbacks on it.
    explicit TZAVglutWigits_BlankApp(int32_t window_id);

    void RequestRedisplay() override;

    static void DisplayCB();
    static void ReshapeCB(int width, int height);
    static void MouseCB(int button, int state, int x, int y);
    static void motionCB(int x, int y);
    static void PassiveMotionCB(int x, int y);
    static void KeyboardCB(unsigned char key, int x, int y);
    static void SpecialCB(int key, int x, int y);
    static void CloseCB();
    // Never installed: idle work goes through the application's timer.
    static void IdleCB();

protected:
    void SwapBuffers() override;
};
