#pragma once

#include <string_view>

// A folder held open by its path, so the files in it are looked at and opened by their names alone,
// without the kernel walking the whole path again for each (which costs more than the look itself).
// Opened with O_PATH: it needs the right to search the folder, as looking at its files does, not the
// right to list it. Links in the path are followed, as they are in any path; a path longer than the
// system takes is opened a level at a time.
class FolderDescriptor {
public:
    // folder as native bytes, with or without a trailing "/"; empty is the current folder.
    explicit FolderDescriptor(std::string_view folder);
    ~FolderDescriptor();
    FolderDescriptor(const FolderDescriptor&) = delete;
    FolderDescriptor& operator=(const FolderDescriptor&) = delete;

    // The descriptor, or -1 when the folder could not be opened; error() then holds the errno.
    int fd() const { return m_fd; }
    int error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};
