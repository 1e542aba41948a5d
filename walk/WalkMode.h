#pragma once

// What a walk does with the files that pass the exclusion and attribute tests.
enum class WalkMode {
    CountTypes, // counts each into the type table
    Criteria,   // lists those that meet the ticked criteria
    ListType,   // lists those a summary counts into one type
};
