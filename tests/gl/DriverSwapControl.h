#ifndef QUORIN_TEST_DRIVERSWAPCONTROL_H
#define QUORIN_TEST_DRIVERSWAPCONTROL_H

// Whether the driver the test program draws with offers a swap interval,
// asked with a current OpenGL context. Two implementations, one per test
// program: GlxSwapControl.cpp reads the display's GLX extension string
// itself; SwapControlStandIn.cpp replaces the swap-interval layer with a
// driver that has one, so the device's extension paths run on Xvfb too.
bool driverSwapControl();

#endif
