// The standard controls' internals shared by the portable part
// (platform/ui/StdControls.cpp) and each backend.
#pragma once

#include <array>
#include <functional>

namespace Norvane::Platform::Ui::ControlParts {

// Backend: runs Piece every Milliseconds on the user-interface thread until
// the timer is stopped; its id, 0 when none could be made.
unsigned StartTimer(unsigned Milliseconds, std::function<void()> Piece);
// Backend: stops a timer of StartTimer; 0 is no timer.
void StopTimer(unsigned Id);

// The activity indicator's figures at phase T (0 to 1 over one cycle), for a
// square of Size pixels; angles in radians, 0 to the right, clockwise on screen.
// Its momentum dots: centres and radius, the leading dot first.
struct TIndicatorDot {
    double X, Y, Radius;
};
std::array<TIndicatorDot, 5> MomentumDots(double Size, double T);
// Its rotating sector: the start angle of the solid quarter.
double SectorStart(double T);
// Its sector ring: each sector's angles and opacity.
struct TIndicatorSector {
    double From, To, Alpha;
};
std::array<TIndicatorSector, 12> RingSectors(double T);

} // namespace Norvane::Platform::Ui::ControlParts
