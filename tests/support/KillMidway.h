#pragma once

#include <functional>

// Runs work in a child process and kills it with SIGKILL, as a crash would, at the moment work
// calls the function it is handed. True when the child got there and died of that signal; the
// child waits there, so nothing else of work runs after that call.
bool killedMidway(const std::function<void(const std::function<void()>& here)>& work);
