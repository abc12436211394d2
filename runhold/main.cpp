#include "runhold/RunHold.h"

#include <cstdio>

int main(int argc, char **argv)
{
    return RunHoldMain(argc, argv, stdin, stdout, stderr);
}
