#pragma once

#include <QString>

#include <cstdio>

// `bytelens --dump FILE`: the listing on `out`, 0 when the whole file was listed.
// Otherwise a message on `err` naming the file and the reason, and 1.
int RunDumpCommand(const QString &strPath, std::FILE *out, std::FILE *err);
