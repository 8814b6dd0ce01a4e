#pragma once

// Reading children that fail in the ways a reader on a hostile file might:
// when the environment variable below names a behaviour, the child started
// with the reading option behaves so instead of reading. Set only by the
// tests of the child process, never by the program.
inline constexpr char misbehaviourVariable[] = "EXCHANGE_TEST_CHILD_MISBEHAVES";

// A hanging child writes its process id into the file this variable names.
inline constexpr char pidFileVariable[] = "EXCHANGE_TEST_CHILD_PID_FILE";

// "hang", "crash", "garbage", "truncated", "flood", "exit", "hog" (asks for
// more memory than a child may have); -1 when the variable is unset or this
// is not a reading child.
int runMisbehavingChild(int argc, char **argv);
