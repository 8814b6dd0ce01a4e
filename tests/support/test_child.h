#pragma once

#include <vector>

// Some test programs start themselves as a child process: the workbook
// reader's child, a child told to misbehave. Such a program registers its
// children with a ChildRegistration at namespace scope; the shared mains run
// the one the arguments ask for instead of the tests.
using ChildRunner = int (*)(int argc, char **argv); // -1: not this child

inline std::vector<ChildRunner> &childRunners()
{
    static std::vector<ChildRunner> runners;
    return runners;
}

struct ChildRegistration
{
    explicit ChildRegistration(ChildRunner run) { childRunners().push_back(run); }
};

// The child's exit code, or -1 when the arguments start no registered child.
inline int runRegisteredChild(int argc, char **argv)
{
    for (ChildRunner run : childRunners()) {
        if (const int code = run(argc, argv); code >= 0)
            return code;
    }
    return -1;
}
