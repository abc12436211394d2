#pragma once

struct CSettings;

// The settings a new installation starts with, so that a first start works.
class CDefaultSettings
{
public:
    // Editor and server defaults (TAB_SIZE 4, INDENT_SIZE 3, TAB_EXPAND Y, AUTO_INDENT Y,
    // a monospace VIEW_FONT, ...), with no interpreter named.
    static CSettings Make();

    // Names in LOCAL_PERL_EXE, LOCAL_JAVA_EXE and LOCAL_JAVAC_EXE the interpreters found
    // on the PATH. A setting that already names an executable file is kept: it is the
    // choice of whoever wrote the default, and the PATH may not hold that interpreter.
    static void NameInterpreters(CSettings &settings);
};
