#include "framework/Trace.h"

#ifdef NDEBUG
Q_LOGGING_CATEGORY(lcKestrel, "kestrel", QtInfoMsg)
#else
Q_LOGGING_CATEGORY(lcKestrel, "kestrel", QtDebugMsg)
#endif
