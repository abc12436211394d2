#include "framework/KeyboardIndicators.h"

#include <QGuiApplication>

#ifdef KESTREL_HAVE_X11
#include <X11/XKBlib.h>
#endif

bool CKeyboardIndicators::Query(CKeyboardIndicators &state)
{
#ifdef KESTREL_HAVE_X11
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return false;
    Display *display = x11->display();
    auto light = [display](const char *name) {
        Atom atom = XInternAtom(display, name, True);
        Bool on = False;
        if (atom != None)
            XkbGetNamedIndicator(display, atom, nullptr, &on, nullptr, nullptr);
        return on == True;
    };
    state.bCaps = light("Caps Lock");
    state.bNum = light("Num Lock");
    state.bScroll = light("Scroll Lock");
    return true;
#else
    Q_UNUSED(state);
    return false;
#endif
}
