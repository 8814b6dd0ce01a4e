#pragma once

// How many threads a long read of the stock file may use at once: the stock
// list reads a long file in two parts, the statistics read the editor's rows
// beside their write, only when this is 2 or more. It is the number of cores
// the process may run on, unless a test chose a count, so that both the
// one-thread and the two-thread way run on every machine.
int readerThreads();

// Chooses the count (at least 1); 0 gives the choice back to the machine.
void setReaderThreads(int threads);
