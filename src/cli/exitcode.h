#pragma once

// How bootline-cli ends, for scripts to tell one failure from another.
enum ExitCode {
    Done = 0,
    BadUsage = 1,
    FileRefused = 2,
    PortFailed = 3,   // could not be opened, or was lost
    NoBoard = 4,      // nothing answered the probe
    BoardRefused = 5, // the board answered ERROR or FORMAT
    NoReply = 6,      // a line went unanswered, retries and all
    Interrupted = 130,
};
