#pragma once

// Internal to the engine: a bound on the work of interpreting one page.
//
// MuPDF bounds form nesting and cycles itself but not the length of a
// content stream: a hostile page can hold billions of operators (a small
// compressed stream can inflate to gigabytes). Every run of a page's
// content gets a cookie from a WorkLimit; a watchdog thread aborts the run
// once MuPDF's progress count (operators interpreted) or the time spent
// passes the limits. What was drawn or extracted until then is kept.

#include <mupdf/fitz.h>

namespace folvan::engine::detail {

class WorkLimit {
public:
    WorkLimit();
    ~WorkLimit();
    WorkLimit(const WorkLimit &) = delete;
    WorkLimit &operator=(const WorkLimit &) = delete;

    fz_cookie *cookie() { return &m_cookie; }

private:
    fz_cookie m_cookie{};
};

// The limits of one run (changed by tests; the defaults suit real papers
// with room to spare).
struct WorkLimits {
    long maxOperators = 20'000'000;
    int maxMilliseconds = 30'000;
};
WorkLimits workLimits();
void setWorkLimits(WorkLimits limits);

} // namespace folvan::engine::detail
