#pragma once

// How a board job ends: bootline-cli's exit code, for scripts to tell one
// failure from another, and the exit code of every record, from either face.
enum ExitCode {
    Done = 0,
    BadUsage = 1,
    FileRefused = 2,
    PortFailed = 3,     // could not be opened, or was lost
    NoBoard = 4,        // nothing answered the probe
    BoardRefused = 5,   // the board answered ERROR or FORMAT
    NoReply = 6,        // a line went unanswered, retries and all
    NotRecorded = 7,    // the job was done, but its record could not go to the store
    ExtraReplies = 8,   // more replies than frames sent: an echo, or two boards at one address
    BoardRestarted = 9, // the board said "VER=" unasked in the middle of the job
    // Stopped by a signal: 128 and its number, as shells report it.
    HungUp = 129,      // SIGHUP
    Interrupted = 130, // SIGINT, Ctrl-C
    Terminated = 143,  // SIGTERM
};

struct ExitCodeMeaning {
    ExitCode code;
    const char *meaning;
};

// Every exit code, as --help lists them.
inline constexpr ExitCodeMeaning ExitCodeMeanings[] = {
    {Done, "done"},
    {BadUsage, "bad usage"},
    {FileRefused, "the file was refused"},
    {PortFailed, "the port could not be opened, or was lost"},
    {NoBoard, "no board answered the probe"},
    {BoardRefused, "the board answered ERROR or FORMAT"},
    {NoReply, "no reply in time, or replies out of step"},
    {NotRecorded, "done, but a record could not go to the store (or --history could not read it)"},
    {ExtraReplies, "more replies than lines sent: an echo, or two boards at one address"},
    {BoardRestarted, "the board restarted in the middle of the job (VER= unasked)"},
    {HungUp, "hung up (SIGHUP)"},
    {Interrupted, "interrupted (Ctrl-C); a station stopped so ends with its boards' code, 0 when "
                  "each was done"},
    {Terminated, "terminated (SIGTERM)"},
};

// The exit code for a stop by a signal (SIGHUP is 1 and SIGTERM 15 on every
// Unix); Interrupted for any other.
inline ExitCode exitCodeForSignal(int signalNumber)
{
    switch (signalNumber) {
    case 1:
        return HungUp;
    case 15:
        return Terminated;
    default:
        return Interrupted;
    }
}

inline bool isStopBySignal(ExitCode code)
{
    return code >= HungUp;
}
