#pragma once
// Runs one of the programs as a child process with its standard output and
// error on pipes: the exit code or signal, both outputs, the child's peak
// resident memory, and optionally a signal sent to it as soon as a text
// appears on its standard output.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <string>
#include <vector>

namespace ChildProcess {

struct Result {
    int code = -1;   // the exit code; -1 when a signal ended the child
    int signal = 0;  // the signal that ended it
    std::string out; // standard output (its end only, when limited)
    std::string err;
    long peak_rss_kb = 0;
    bool signal_sent = false;
};

struct Options {
    // Once standard output contains this text, the signal is sent (once).
    std::string signal_after;
    int signal = 0;
    // Keeps only the last this many bytes of standard output (0: all).
    size_t out_limit = 0;
};

// A program text in a temporary file, removed at the end of the scope.
class ProgramFile {
public:
    explicit ProgramFile(std::string const& text, std::string const& suffix = ".lp") {
        static int counter = 0;
        path_ = ::testing::TempDir() + "/app_" + std::to_string(::getpid()) + "_" +
                std::to_string(counter++) + suffix;
        std::ofstream(path_) << text;
    }
    ~ProgramFile() { std::remove(path_.c_str()); }
    ProgramFile(ProgramFile const&) = delete;
    ProgramFile& operator=(ProgramFile const&) = delete;
    std::string const& path() const { return path_; }

private:
    std::string path_;
};

// Runs program with args; standard input is the file input (or /dev/null).
inline Result run(std::string const& program, std::vector<std::string> const& args,
                  Options const& options = {}, std::string const& input = "/dev/null") {
    Result result;
    int out_pipe[2];
    int err_pipe[2];
    if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) {
        ADD_FAILURE() << "pipe failed";
        return result;
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        FILE* in = std::fopen(input.c_str(), "r");
        if (in != nullptr) ::dup2(::fileno(in), 0);
        ::dup2(out_pipe[1], 1);
        ::dup2(err_pipe[1], 2);
        ::close(out_pipe[0]);
        ::close(err_pipe[0]);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (auto const& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    // Guards against a hanging child only; no result depends on it.
    auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string* buffers[2] = {&result.out, &result.err};
    int open = 2;
    char chunk[65536];
    while (open > 0) {
        if (std::chrono::steady_clock::now() > give_up) {
            ::kill(pid, SIGKILL);
            ADD_FAILURE() << program << " did not end";
            break;
        }
        int ready = ::poll(fds, 2, 1000);
        if (ready < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
                continue;
            }
            buffers[i]->append(chunk, static_cast<size_t>(n));
            if (i == 0 && !result.signal_sent && options.signal != 0 &&
                result.out.find(options.signal_after) != std::string::npos) {
                ::kill(pid, options.signal);
                result.signal_sent = true;
            }
            if (i == 0 && options.out_limit > 0 && result.out.size() > 2 * options.out_limit) {
                result.out.erase(0, result.out.size() - options.out_limit);
            }
        }
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    result.peak_rss_kb = usage.ru_maxrss;
    if (WIFEXITED(status)) {
        result.code = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

inline size_t count(std::string const& text, std::string const& part) {
    size_t n = 0;
    for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1))
        ++n;
    return n;
}

// The lines of text that start with prefix, without it.
inline std::vector<std::string> lines_after(std::string const& text, std::string const& prefix) {
    std::vector<std::string> found;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        if (text.compare(begin, prefix.size(), prefix) == 0) {
            found.push_back(text.substr(begin + prefix.size(), end - begin - prefix.size()));
        }
        begin = end + 1;
    }
    return found;
}

} // namespace ChildProcess
