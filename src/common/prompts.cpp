#include "common/prompts.h"

namespace {

bool (*busyProbe)() = nullptr;

} // namespace

void Prompts::setBusyProbe(bool (*probe)())
{
    busyProbe = probe;
}

bool Prompts::busy()
{
    return busyProbe && busyProbe();
}
