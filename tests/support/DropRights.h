#pragma once

#include <string>

// For a test's child process (inside EXPECT_EXIT): when running as root, gives the folder tree
// at path to the unprivileged user 65534 and becomes that user, so that permissions bind as they
// do for a user. Returns false when that failed; the child should then exit with a failure code.
bool dropRootRights(const std::string& path);
