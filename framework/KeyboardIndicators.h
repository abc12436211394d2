#pragma once

// The state of the Caps Lock, Num Lock and Scroll Lock lights, for the status bar.
struct CKeyboardIndicators
{
    bool bCaps = false;
    bool bNum = false;
    bool bScroll = false;

    // False when the windowing system doesn't tell (no X11 display, say).
    static bool Query(CKeyboardIndicators &state);
};
