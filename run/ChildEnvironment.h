#pragma once

#include <QByteArrayList>
#include <QProcessEnvironment>

// The environment every program the IDE starts gets: the user's, as it was when the IDE
// started, with the variables that the user or a caller of the IDE's own code set later,
// but without those the IDE puts into its own environment for itself (the browser
// engine's switches). A variable the user already had before the IDE started reaches
// the child with the user's value.
class CChildEnvironment
{
public:
    static QProcessEnvironment System();
    // The same as "NAME=value" entries, byte for byte as the environment holds them.
    static QByteArrayList Entries();
};
