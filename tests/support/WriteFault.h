#pragma once

#include "platform/FileWriter.h"

// Makes the nth call of a step of every platform::FileWriter fail with error, the way a full or
// broken disk fails it, for the object's lifetime.
class WriteFault {
public:
    WriteFault(platform::WriteStep step, int nth, int error) { platform::FileWriter::failNext(step, nth, error); }
    ~WriteFault() { platform::FileWriter::failNext(platform::WriteStep::Write, 0, 0); }
    WriteFault(const WriteFault&) = delete;
    WriteFault& operator=(const WriteFault&) = delete;
};
