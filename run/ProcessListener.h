#pragma once

// Told once when a child program has ended. The call comes on the child's waiter
// thread, not on the GUI thread.
class CProcessListener
{
public:
    virtual void OnProcessEnded() = 0;
    virtual ~CProcessListener() = default;
};
