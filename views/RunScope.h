#pragma once

class TForm1;

// One run of the walk (type summary or file list). Marks the window busy and shows the hourglass;
// on every way out, also when the run fails, it restores the cursor, puts "GO" back on the button,
// empties the record lists and clears the status text, and only then lets new runs start.
class RunScope {
public:
    explicit RunScope(TForm1& form);
    ~RunScope();
    RunScope(const RunScope&) = delete;
    RunScope& operator=(const RunScope&) = delete;

    // Puts the earlier cursor back now; the clean-up does not restore it a second time.
    void restoreCursor();

private:
    TForm1& m_form;
    bool m_cursorShown = false;
};
