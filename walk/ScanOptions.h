#pragma once

#include <QString>

// How a file's date must relate to the chosen day; None stands for a typed text that is no
// relation, which no file satisfies.
enum class DateRelation { After, Equal, Before, None };
// How a file's size must relate to the chosen number of kilobytes; None as above.
enum class SizeRelation { Greater, Equal, Less, None };

struct MaskCondition {
    bool on = false;
    QString mask;
    bool operator==(const MaskCondition&) const = default;
};

struct DateCondition {
    bool on = false;
    DateRelation relation = DateRelation::After;
    double date = 0; // date-time value; only its day counts
    bool operator==(const DateCondition&) const = default;
};

struct SizeCondition {
    bool on = false;
    SizeRelation relation = SizeRelation::Greater;
    double kilobytes = 0;
    bool operator==(const SizeCondition&) const = default;
};

// The attribute requirement: a file passes when it carries one of the chosen attributes.
struct AttributeCondition {
    bool on = false;
    bool readOnly = false;
    bool archive = false;
    bool operator==(const AttributeCondition&) const = default;
};

// What a walk is asked to find. Options can change only while events are processed, so the walk
// takes a fresh snapshot after each pump.
struct ScanOptions {
    bool excludeHidden = true;
    bool excludeSystem = true;
    AttributeCondition attributes;

    // Criteria, applied only in a criteria search.
    MaskCondition typeMask; // matched against the extension
    MaskCondition nameMask; // matched against the name
    DateCondition created;
    DateCondition modified;
    SizeCondition size;

    bool operator==(const ScanOptions&) const = default;
};
