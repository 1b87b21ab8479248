#pragma once
// A background process that outlives this one, for the POSIX implementation
// files and their tests only.

#include <chrono>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace vexaro::platform::posix {

// Starts `program` (a path; args[0] is its name) in a session of its own,
// detached from this process: its parent is the system's reaper from the
// start, it has no controlling terminal, and its working folder is "/".
// Its standard input reads `input` and then ends; standard error goes to
// /dev/null; standard output is a pipe on which the program says it is
// ready by writing one byte. Returns once it has; fails with
// errc::timed_out when `timeout` passes first (the process is left to
// itself), and with errc::no_child_process when it ends or closes its
// output without a word (a program that cannot be started included).
std::error_code StartDetached(const std::string& program, const std::vector<std::string>& args, std::string_view input,
                              std::chrono::milliseconds timeout);

}  // namespace vexaro::platform::posix
