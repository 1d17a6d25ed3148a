// The progress of a run as the aggregation and the report writer drive it: a per-mille value of the
// whole run (0 to 1000) that Advance moves forward, and a pulse for every unit of work done (a row read,
// an element written). The aggregation moves it from 0 to 500, the report writer from 500 to 1000.
//
// What shows the progress is the application's choice (the progress window, or the console progress of
// a batch run); nothing here knows windows. Implementations never fail and report nothing.
#pragma once

#include <cstdint>

class ClProgress {
 public:
  virtual ~ClProgress() = default;

  // The overall progress back to 0 of 1000.
  virtual void ResetOverall() = 0;
  // One step of the overall progress for each per-mille value v from `from` up to and including `to`,
  // showing v / 10 percent at each multiple of 10. Nothing when from > to.
  virtual void Advance(std::int16_t from, std::int16_t to) = 0;
  // One unit of work done.
  virtual void Pulse() = 0;
};
