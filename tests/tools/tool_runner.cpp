#include "tool_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <regex>

extern char** environ;

namespace toolstest {

namespace {

// Reads both pipes until both are closed, so that neither child stream can block.
void drain(int outFd, int errFd, std::string* out, std::string* err) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {out, err};
  int open = 2;
  char buf[4096];
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        sinks[i]->append(buf, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

// Runs program with standard output on a pipe and standard error on errPipe's write end (a pipe
// or a terminal), collecting both until they close.
ToolResult spawnAndCollect(const std::string& program, const std::vector<std::string>& args,
                           int errPipe[2]) {
  ToolResult result;
  int outPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) {
    close(errPipe[0]);
    close(errPipe[1]);
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  if (rc != 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    result.err = "cannot start " + program;
    return result;
  }
  drain(outPipe[0], errPipe[0], &result.out, &result.err);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status))
    result.exitCode = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    result.exitCode = 128 + WTERMSIG(status);
  return result;
}

}  // namespace

ToolResult runTool(const std::string& program, const std::vector<std::string>& args) {
  int errPipe[2];
  if (pipe2(errPipe, O_CLOEXEC) != 0) return ToolResult{};
  return spawnAndCollect(program, args, errPipe);
}

ToolResult runToolOnTerminal(const std::string& program, const std::vector<std::string>& args,
                             double* elapsedSeconds) {
  int terminal[2];  // master, slave
  if (openpty(&terminal[0], &terminal[1], nullptr, nullptr, nullptr) != 0) return ToolResult{};
  fcntl(terminal[0], F_SETFD, FD_CLOEXEC);
  fcntl(terminal[1], F_SETFD, FD_CLOEXEC);
  auto start = std::chrono::steady_clock::now();
  ToolResult r = spawnAndCollect(program, args, terminal);
  *elapsedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return r;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at))
    text.replace(at, from.size(), to), at += to.size();
  return text;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

std::string withoutTimestamps(const std::string& text) {
  static const std::regex stamp("[A-Z][a-z]{2} [A-Z][a-z]{2} [0-9]{2} [0-9:]{8} [0-9]{4}: ");
  return std::regex_replace(text, stamp, "");
}

}  // namespace toolstest
