#pragma once

#include <QByteArray>
#include <sys/types.h>

namespace platform {

// A new file that appears under its name only once it is complete. Where the file system allows,
// the file has no name at all until then (O_TMPFILE), so nothing is left behind even when the
// program is killed; elsewhere it is a hidden file with a short random name (".trovex-" and six
// characters, so a target name of the full length still fits), removed on every way out but a
// crash. The file is removed when the object goes away unpublished.
//
// The folder is held by a descriptor from create() on, so the file is named in the folder it was
// made in even when a path to that folder changes meanwhile.
class PendingFile {
public:
    PendingFile() = default;
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // Creates the file in folder, open for reading and writing, with the permission bits mode
    // (the umask applies). allowUnnamed false asks for the named form, as on file systems without
    // unnamed files. False with errno set.
    bool create(const QByteArray& folder, mode_t mode, bool allowUnnamed = true);
    // The same in the folder open at folderFd (the descriptor is duplicated, not taken).
    bool createIn(int folderFd, mode_t mode, bool allowUnnamed = true);

    int fd() const { return m_fd; }
    bool isUnnamed() const { return m_unnamed; }

    // Closes the descriptor now and reports close()'s result, since some file systems report a
    // failed write only there. The file can still be published afterwards.
    bool close();

    // Gives the file the name of path's last level in its folder (the rest of path is not read).
    // Unless replace is set, whatever stands at the name is kept and the call fails with errno
    // EEXIST. False with errno set; the file then stays pending.
    bool publish(const QByteArray& path, bool replace);

    // Writes the folder's entries to the disk, so a published name survives a crash. True where
    // the folder cannot be opened for that (no read right): nothing more can be done there.
    bool syncFolder() const;

private:
    bool linkTo(const char* name) const;
    bool createInFolder(mode_t mode, bool allowUnnamed);

    int m_fd = -1;
    // A second descriptor of an unnamed file, which keeps it reachable once close() has run.
    int m_keep = -1;
    bool m_unnamed = false;
    int m_folder = -1;
    bool m_folderReadable = false;
    QByteArray m_temp; // the named form's temporary name in the folder, until it is published
};

} // namespace platform
