#pragma once

#include "records/ChunkedArray.h"
#include "records/ListRow.h"
#include "records/PathArena.h"
#include "records/TFileRec.h"

#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

// Found files as list rows (ListRow.h), in chunks so a growing list never copies itself.
using FileRows = ChunkedArray<ListRow>;

// The found-file list of a file-list walk, in walk order. Holds its records compactly because a
// walk may find millions of files; operator[] gives each back as a TFileRec. Clearing the list
// frees its records; takeRows hands them to a list model, which then shows them without a copy.
class TFileList {
public:
    using Entry = ListRow;

    // Appends a file found in folder (native bytes) under name (native bytes).
    void append(std::string_view folder, std::string_view name, qint64 created, qint64 modified, qint64 size,
                quint32 attr);
    // Appends a record as it stands.
    void push_back(const TFileRec& rec);

    // Row i is a later hard link of the file first found at path (native bytes); its size counts
    // there. Only a disk-usage walk notes them.
    void noteHardLink(qsizetype i, std::string_view firstPath) { m_hardLinks.emplace(i, firstPath); }
    // The first path of the file row i is a later hard link of; empty for any other row.
    std::string_view hardLinkOf(qsizetype i) const {
        const auto it = m_hardLinks.find(i);
        return it == m_hardLinks.end() ? std::string_view() : std::string_view(it->second);
    }

    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool empty() const { return m_rows.empty(); }
    void clear();

    TFileRec operator[](qsizetype i) const;
    const Entry& entry(qsizetype i) const { return m_rows[size_t(i)]; }
    QString fileName(qsizetype i) const;
    // The arena that holds the paths.
    const std::shared_ptr<PathArena>& arena() const { return m_arena; }

    // Hands over the rows and their arena, leaving the list empty.
    struct Taken {
        FileRows rows;
        std::shared_ptr<PathArena> arena;
    };
    Taken takeRows();

    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = TFileRec;
        using difference_type = qsizetype;
        using pointer = void;
        using reference = TFileRec;
        const_iterator(const TFileList* list, qsizetype i) : m_list(list), m_i(i) {}
        TFileRec operator*() const { return (*m_list)[m_i]; }
        const_iterator& operator++() {
            ++m_i;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return m_i == other.m_i; }

    private:
        const TFileList* m_list;
        qsizetype m_i;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

private:
    FileRows m_rows;
    std::shared_ptr<PathArena> m_arena;
    std::unordered_map<qsizetype, std::string> m_hardLinks; // few: files of several names are rare
};
