// Request logging at the verbosity chosen by the flags: 0 errors only,
// 1 connections and sessions, 2 every request, 3 every message in full.
// Writes to stderr; the event-loop thread is the only writer.
#pragma once

namespace tavrin::server {

extern int gVerbosity;

void logAt(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace tavrin::server
