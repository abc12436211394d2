#pragma once

#include <QLoggingCategory>

// Diagnostic traces. The category is on in debug builds only, so a shipped build
// writes none of them.
Q_DECLARE_LOGGING_CATEGORY(lcKestrel)

#define TRACE(...) qCDebug(lcKestrel, __VA_ARGS__)
