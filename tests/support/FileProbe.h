#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <string>

// Looking at files the way the tests need to: by their native bytes, so names that are not UTF-8
// are seen as they are.

// The bytes of the file; "<missing>" when it cannot be opened.
QByteArray contentOf(const std::string& nativePath);
QByteArray contentOf(const QString& path);

// Whether anything, a dangling link included, stands at the path.
bool exists(const std::string& nativePath);

// The names in a folder, sorted, so a test sees any temporary file left behind.
QStringList namesIn(const std::string& folder);

// Empties a folder by its bytes.
void removeContents(const std::string& folder);

// How many descriptors the process holds open (the listing's own included).
int openDescriptors();

// The byte-order mark FF FE followed by the text in UTF-16 little-endian.
QByteArray utf16le(const QString& text);

// Makes a folder immutable for its lifetime, where the file system and our rights allow it.
class ImmutableFolder {
public:
    explicit ImmutableFolder(const std::string& path);
    ~ImmutableFolder();
    ImmutableFolder(const ImmutableFolder&) = delete;
    ImmutableFolder& operator=(const ImmutableFolder&) = delete;
    bool isSet() const { return m_set; }

private:
    int m_fd;
    bool m_set = false;
};
