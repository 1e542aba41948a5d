#pragma once

#include <string>

// Makes a chain of `levels` folders under root, each named by nameLength copies of a letter, level
// by level relative to its parent (no single path could name the deepest), with the 5-byte file
// "deep.txt" at the bottom. Returns the file's path relative to root.
std::string makeDeepChain(const std::string& root, int levels, size_t nameLength);

// A chain as makeDeepChain makes it, removed again level by level from the bottom when the object
// goes away: a general removal of a tree a hundred thousand levels deep takes far longer.
class DeepChain {
public:
    DeepChain(const std::string& root, int levels, size_t nameLength = 1);
    ~DeepChain();
    DeepChain(const DeepChain&) = delete;
    DeepChain& operator=(const DeepChain&) = delete;

    // The file at the bottom, relative to root.
    const std::string& file() const { return m_file; }

private:
    std::string m_root;
    int m_levels;
    size_t m_nameLength;
    std::string m_file;
};
