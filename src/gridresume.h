// Where a grid run resumes: the complete conditions of an interrupted run's
// partial files that belong to this run, compared as typed conditions with
// their series counts and seeds, and how much of each file to keep; or a
// commit that was interrupted (gridrun.cpp describes its steps), whose
// finished files are checked before it is completed.
#pragma once

#include <cstddef>
#include <ostream>

#include "gridplan.h"

struct ResumePoint {
    std::size_t done = 0;         // conditions kept from an interrupted run
    std::size_t keepResults = 0;  // bytes of the partial results file to keep
    std::size_t keepSeries = 0;   // bytes of the partial per-series file to keep
    bool resuming = false;        // the partial files are continued, not begun afresh
    bool committing = false;      // every condition is done and the commit began: finish it
    bool complete = false;        // a finished run of this study is there: nothing to do
};

// Without --resume, the point of a fresh run.  With it, the point the files
// of an interrupted run allow, in this order: its partial results file; else
// its partial sidecar beside a results file (and per-series file, partial or
// finished) that hold every condition of this run: a commit to complete;
// else a finished run of this study; else a fresh run.  A resumed run keeps
// the command line the interrupted one recorded (plan.sidecar), so its
// sidecar too has the bytes of an uninterrupted run.  0, or the exit status
// after a message on err (an interrupted run of another study, files that do
// not fit).
int findResumePoint(RunPlan& plan, ResumePoint& point, std::ostream& err);
