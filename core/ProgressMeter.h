#pragma once
// How long pixel work reports progress without knowing about windows: the main window's
// status-bar meter implements it, the command line prints a bar, tests count the steps.

class IProgressMeter
{
public:
    virtual ~IProgressMeter() = default;
    // Starts a new run of `steps` steps; 0 empties the meter.
    virtual void Start(int steps) = 0;
    // Advances by one step.
    virtual void Step() = 0;
};
